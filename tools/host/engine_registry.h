// What the host reads from the registry: the engines announced under the
// host framework's key, and where the back end keeps its model folders.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace host {

inline constexpr char kEngineProgIdPrefix[] = "QNDravikHybridTranslationEngine";
inline constexpr char kDefaultProgId[] = "QNDravikHybridTranslationEngine.TranslationEngine.1";

struct EngineEntry {
    std::string name;  // the entry's key name
    std::string progId;
    std::string source;
    std::string target;
    std::optional<DWORD> suppress;  // absent until Configure has run

    // The same test as Configure: the ProgID begins with this program's prefix.
    bool IsThisProgram() const;
};

struct EngineList {
    bool keyPresent = false;  // the "Translation Engines" key could be opened
    std::vector<EngineEntry> entries;
};

EngineList ReadEngineList();

// The entry for source -> target, this program's first; null when none.
const EngineEntry* FindEngine(const EngineList& list, std::string_view source,
                              std::string_view target);

// The back end's install folder (DravikHybridInstallLoc, default "C:\Dravik").
std::string BackendInstallFolder();
// The model folder of a direction, built as Configure builds it.
std::string ModelFolder(const std::string& installFolder, std::string_view source,
                        std::string_view target);
// Configure's existence test: any directory entry of exactly that name.
bool ModelFolderExists(const std::string& path);

}  // namespace host
