// A registry script: the text that describes the server's registry entries,
// with the removal rule of every key, applied in register or unregister mode.
//
// Grammar (whitespace separates tokens; names and values may be quoted with
// single quotes, a doubled quote standing for one):
//   script := root*            root := ("HKCR"|"HKLM"|"HKCU"|long name) "{" key* "}"
//   key    := [NoRemove|ForceRemove] name ["=" type text] ["{" (key|value)* "}"]
//   value  := "val" name "=" type text        type := "s" (REG_SZ) | "d" (REG_DWORD)
// %NAME% is replaced by a variable before parsing ("%%" stands for "%").
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace server {

// A script that cannot be parsed; the message names the offending token.
class RegistryScriptError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ScriptValue {
    DWORD type = 0;  // REG_SZ or REG_DWORD
    std::string text;
    DWORD number = 0;
};

struct ScriptKey {
    enum class Removal { Normal, NoRemove, ForceRemove };
    std::string name;
    Removal removal = Removal::Normal;
    std::unique_ptr<ScriptValue> defaultValue;
    std::vector<std::pair<std::string, ScriptValue>> values;  // "val" entries
    std::vector<ScriptKey> subkeys;
};

struct ScriptRoot {
    std::string rootName;  // as written, e.g. "HKCR"
    std::vector<ScriptKey> keys;
};

// Variable names are compared without regard to case.
using ScriptVariables = std::map<std::string, std::string>;

std::string ReplaceScriptVariables(std::string_view script, const ScriptVariables& variables);
std::vector<ScriptRoot> ParseRegistryScript(std::string_view script);

// Register mode: every existing key the script touches is first opened with
// the rights registering uses (writing; deleting too for a ForceRemove key and
// every key beneath it), so that a failure changes nothing; then ForceRemove
// keys are deleted with their content (a key that cannot be deleted fails the
// run) and every key and value is written. Unregister mode: every key except NoRemove ones
// is removed (ForceRemove keys with their content, others once empty of
// subkeys); NoRemove keys stay. Returns the first failure, or S_OK, and names
// the key where it happened in `failedKey` (full root name first).
HRESULT ApplyRegistryScript(const std::vector<ScriptRoot>& script, bool registerMode,
                            std::string* failedKey = nullptr);

}  // namespace server
