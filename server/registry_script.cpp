#include "server/registry_script.h"

#include <cctype>
#include <cstdlib>

#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/unique_hkey.h"

namespace server {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

struct Token {
    enum class Kind { Word, Quoted, Open, Close, Equals, End };
    Kind kind = Kind::End;
    std::string text;
};

class Tokenizer {
  public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    Token Next() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
            ++pos_;
        }
        if (pos_ >= text_.size()) {
            return {Token::Kind::End, {}};
        }
        const char c = text_[pos_];
        if (c == '{') {
            if (LooksLikeGuid()) {
                const size_t start = pos_;
                pos_ += 38;
                return {Token::Kind::Word, std::string(text_.substr(start, 38))};
            }
            ++pos_;
            return {Token::Kind::Open, "{"};
        }
        if (c == '}') {
            ++pos_;
            return {Token::Kind::Close, "}"};
        }
        if (c == '=') {
            ++pos_;
            return {Token::Kind::Equals, "="};
        }
        if (c == '\'') {
            return Quoted();
        }
        const size_t start = pos_;
        while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_])) &&
               text_[pos_] != '=' && text_[pos_] != '\'' && text_[pos_] != '{' &&
               text_[pos_] != '}') {
            ++pos_;
        }
        return {Token::Kind::Word, std::string(text_.substr(start, pos_ - start))};
    }

  private:
    // An unquoted "{XXXXXXXX-...}" is a key name, not a block.
    bool LooksLikeGuid() const {
        const size_t close = text_.find('}', pos_);
        if (close == std::string_view::npos || close - pos_ != 37) {
            return false;
        }
        for (size_t i = pos_ + 1; i < close; ++i) {
            const char c = text_[i];
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != '-') {
                return false;
            }
        }
        return true;
    }

    Token Quoted() {
        std::string value;
        ++pos_;
        for (;;) {
            if (pos_ >= text_.size()) {
                throw RegistryScriptError("unterminated quoted string");
            }
            const char c = text_[pos_++];
            if (c == '\'') {
                if (pos_ < text_.size() && text_[pos_] == '\'') {
                    value += '\'';
                    ++pos_;
                    continue;
                }
                return {Token::Kind::Quoted, value};
            }
            value += c;
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
};

class Parser {
  public:
    explicit Parser(std::string_view text) : tokens_(text) { Advance(); }

    std::vector<ScriptRoot> Script() {
        std::vector<ScriptRoot> roots;
        while (current_.kind != Token::Kind::End) {
            ScriptRoot root;
            root.rootName = Name("root key");
            Expect(Token::Kind::Open, "{");
            while (current_.kind != Token::Kind::Close) {
                root.keys.push_back(Key());
            }
            Advance();
            roots.push_back(std::move(root));
        }
        return roots;
    }

  private:
    void Advance() { current_ = tokens_.Next(); }

    void Expect(Token::Kind kind, const char* what) {
        if (current_.kind != kind) {
            throw RegistryScriptError(std::string("expected ") + what + " near '" + current_.text +
                                      "'");
        }
        Advance();
    }

    std::string Name(const char* what) {
        if (current_.kind != Token::Kind::Word && current_.kind != Token::Kind::Quoted) {
            throw RegistryScriptError(std::string("expected ") + what + " near '" + current_.text +
                                      "'");
        }
        std::string name = current_.text;
        Advance();
        return name;
    }

    bool IsKeyword(const char* keyword) const {
        return current_.kind == Token::Kind::Word && EqualsNoCase(current_.text, keyword);
    }

    ScriptValue Value() {
        Expect(Token::Kind::Equals, "=");
        const std::string type = Name("value type");
        ScriptValue value;
        value.text = Name("value");
        if (EqualsNoCase(type, "s")) {
            value.type = REG_SZ;
        } else if (EqualsNoCase(type, "d")) {
            value.type = REG_DWORD;
            char* end = nullptr;
            value.number = static_cast<DWORD>(std::strtoul(value.text.c_str(), &end, 0));
            if (value.text.empty() || *end != '\0') {
                throw RegistryScriptError("bad number '" + value.text + "'");
            }
        } else {
            throw RegistryScriptError("unsupported value type '" + type + "'");
        }
        return value;
    }

    ScriptKey Key() {
        ScriptKey key;
        if (IsKeyword("NoRemove")) {
            key.removal = ScriptKey::Removal::NoRemove;
            Advance();
        } else if (IsKeyword("ForceRemove")) {
            key.removal = ScriptKey::Removal::ForceRemove;
            Advance();
        }
        key.name = Name("key name");
        if (current_.kind == Token::Kind::Equals) {
            key.defaultValue = std::make_unique<ScriptValue>(Value());
        }
        if (current_.kind == Token::Kind::Open) {
            Advance();
            while (current_.kind != Token::Kind::Close) {
                if (current_.kind == Token::Kind::End) {
                    throw RegistryScriptError("missing '}' after key '" + key.name + "'");
                }
                if (IsKeyword("val")) {
                    Advance();
                    std::string name = Name("value name");
                    key.values.emplace_back(std::move(name), Value());
                } else {
                    key.subkeys.push_back(Key());
                }
            }
            Advance();
        }
        return key;
    }

    Tokenizer tokens_;
    Token current_;
};

HKEY RootKey(const std::string& name) {
    if (EqualsNoCase(name, "HKCR") || EqualsNoCase(name, "HKEY_CLASSES_ROOT")) {
        return HKEY_CLASSES_ROOT;
    }
    if (EqualsNoCase(name, "HKLM") || EqualsNoCase(name, "HKEY_LOCAL_MACHINE")) {
        return HKEY_LOCAL_MACHINE;
    }
    if (EqualsNoCase(name, "HKCU") || EqualsNoCase(name, "HKEY_CURRENT_USER")) {
        return HKEY_CURRENT_USER;
    }
    return nullptr;
}

const char* LongRootName(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) {
        return "HKEY_CLASSES_ROOT";
    }
    return root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

constexpr REGSAM kWriteAccess = KEY_READ | KEY_WRITE;

// Strings of the script are UTF-8 (the module's path may hold any character).
LONG SetValue(HKEY key, const char* name, const ScriptValue& value) {
    if (value.type == REG_DWORD) {
        const DWORD number = value.number;
        return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                              sizeof number);
    }
    return RegSetUtf8StringValue(key, name, value.text);
}

// Remembers where the first failure happened, for a message a person can act on.
struct Failure {
    std::string* key;
    void Note(const std::string& parentPath, const std::string& name) {
        NoteKey(parentPath + "\\" + name);
    }
    void NoteKey(const std::string& path) {
        if (key != nullptr && key->empty()) {
            *key = path;
        }
    }
};

// The rights registering uses on an existing key: writing its values and
// subkeys, and deleting it when the script replaces it wholesale.
REGSAM RegisterRights(const ScriptKey& key) {
    return key.removal == ScriptKey::Removal::ForceRemove ? kWriteAccess | DELETE : kWriteAccess;
}

// Whether every key beneath `key` can be deleted: replacing a key wholesale
// deletes each one, those the script does not name included.
HRESULT CheckDeletableTree(HKEY key, const std::string& path, Failure& failure) {
    for (DWORD index = 0;; ++index) {
        char name[1024];
        DWORD size = sizeof name;
        LONG status = RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            return S_OK;
        }
        if (status != ERROR_SUCCESS) {
            failure.NoteKey(path);
            return HRESULT_FROM_WIN32(status);
        }
        UniqueHkey child;
        status = RegOpenKeyExA(key, name, 0, KEY_READ | DELETE, child.put());
        if (status != ERROR_SUCCESS) {
            failure.Note(path, name);
            return HRESULT_FROM_WIN32(status);
        }
        const HRESULT hr = CheckDeletableTree(child.get(), path + "\\" + name, failure);
        if (FAILED(hr)) {
            return hr;
        }
    }
}

// Whether registering can change every existing key the script touches with
// the rights it will use; a missing key is created beneath one already
// checked, and a replaced key's content is created afresh.
HRESULT CheckWritable(HKEY parent, const std::string& parentPath, const ScriptKey& key,
                      Failure& failure) {
    UniqueHkey opened;
    const LONG status =
        RegOpenKeyExA(parent, key.name.c_str(), 0, RegisterRights(key), opened.put());
    if (status == ERROR_FILE_NOT_FOUND) {
        return S_OK;
    }
    if (status != ERROR_SUCCESS) {
        failure.Note(parentPath, key.name);
        return HRESULT_FROM_WIN32(status);
    }
    const std::string path = parentPath + "\\" + key.name;
    if (key.removal == ScriptKey::Removal::ForceRemove) {
        return CheckDeletableTree(opened.get(), path, failure);
    }
    for (const ScriptKey& subkey : key.subkeys) {
        const HRESULT hr = CheckWritable(opened.get(), path, subkey, failure);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

HRESULT Register(HKEY parent, const std::string& parentPath, const ScriptKey& key,
                 Failure& failure) {
    if (key.removal == ScriptKey::Removal::ForceRemove) {
        // A key that stays would keep stale values and subkeys.
        const DWORD deleted = SHDeleteKeyA(parent, key.name.c_str());
        if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
            failure.Note(parentPath, key.name);
            return HRESULT_FROM_WIN32(deleted);
        }
    }
    UniqueHkey opened;
    LONG status = RegCreateKeyExA(parent, key.name.c_str(), 0, nullptr, 0, kWriteAccess, nullptr,
                                  opened.put(), nullptr);
    if (status != ERROR_SUCCESS) {
        failure.Note(parentPath, key.name);
        return HRESULT_FROM_WIN32(status);
    }
    if (key.defaultValue) {
        status = SetValue(opened.get(), nullptr, *key.defaultValue);
        if (status != ERROR_SUCCESS) {
            failure.Note(parentPath, key.name);
            return HRESULT_FROM_WIN32(status);
        }
    }
    for (const auto& [name, value] : key.values) {
        status = SetValue(opened.get(), name.c_str(), value);
        if (status != ERROR_SUCCESS) {
            failure.Note(parentPath, key.name);
            return HRESULT_FROM_WIN32(status);
        }
    }
    for (const ScriptKey& subkey : key.subkeys) {
        const HRESULT hr = Register(opened.get(), parentPath + "\\" + key.name, subkey, failure);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

bool HasSubkeys(HKEY key) {
    char name[260];
    DWORD size = sizeof name;
    return RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Keys that are already gone count as removed, so unregistering twice succeeds.
HRESULT Unregister(HKEY parent, const std::string& parentPath, const ScriptKey& key,
                   Failure& failure) {
    if (key.removal == ScriptKey::Removal::ForceRemove) {
        const LONG status = SHDeleteKeyA(parent, key.name.c_str());
        if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
            return S_OK;
        }
        failure.Note(parentPath, key.name);
        return HRESULT_FROM_WIN32(status);
    }
    UniqueHkey opened;
    LONG status = RegOpenKeyExA(parent, key.name.c_str(), 0, kWriteAccess, opened.put());
    if (status == ERROR_FILE_NOT_FOUND) {
        return S_OK;
    }
    if (status != ERROR_SUCCESS) {
        failure.Note(parentPath, key.name);
        return HRESULT_FROM_WIN32(status);
    }
    HRESULT result = S_OK;
    for (const ScriptKey& subkey : key.subkeys) {
        const HRESULT hr = Unregister(opened.get(), parentPath + "\\" + key.name, subkey, failure);
        if (SUCCEEDED(result)) {
            result = hr;
        }
    }
    if (key.removal == ScriptKey::Removal::NoRemove) {
        return result;
    }
    for (const auto& entry : key.values) {
        RegDeleteValueA(opened.get(), entry.first.c_str());
    }
    const bool keep = HasSubkeys(opened.get());
    opened.reset();
    if (!keep) {
        status = RegDeleteKeyA(parent, key.name.c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && SUCCEEDED(result)) {
            failure.Note(parentPath, key.name);
            result = HRESULT_FROM_WIN32(status);
        }
    }
    return result;
}

}  // namespace

std::string ReplaceScriptVariables(std::string_view script, const ScriptVariables& variables) {
    std::string out;
    out.reserve(script.size());
    for (size_t i = 0; i < script.size(); ++i) {
        if (script[i] != '%') {
            out += script[i];
            continue;
        }
        const size_t end = script.find('%', i + 1);
        if (end == std::string_view::npos) {
            throw RegistryScriptError("unterminated variable");
        }
        const std::string_view name = script.substr(i + 1, end - i - 1);
        if (name.empty()) {
            out += '%';
        } else {
            auto found = variables.end();
            for (auto it = variables.begin(); it != variables.end(); ++it) {
                if (EqualsNoCase(it->first, name)) {
                    found = it;
                    break;
                }
            }
            if (found == variables.end()) {
                throw RegistryScriptError("unknown variable '" + std::string(name) + "'");
            }
            out += found->second;
        }
        i = end;
    }
    return out;
}

std::vector<ScriptRoot> ParseRegistryScript(std::string_view script) {
    return Parser(script).Script();
}

HRESULT ApplyRegistryScript(const std::vector<ScriptRoot>& script, bool registerMode,
                            std::string* failedKey) {
    Failure failure{failedKey};
    HRESULT result = S_OK;
    // Registering replaces keys wholesale: first make sure it can finish, so
    // that a key it cannot write leaves the earlier registration whole.
    if (registerMode) {
        for (const ScriptRoot& root : script) {
            const HKEY rootKey = RootKey(root.rootName);
            if (rootKey == nullptr) {
                return E_INVALIDARG;
            }
            for (const ScriptKey& key : root.keys) {
                const HRESULT hr = CheckWritable(rootKey, LongRootName(rootKey), key, failure);
                if (FAILED(hr)) {
                    return hr;
                }
            }
        }
    }
    for (const ScriptRoot& root : script) {
        const HKEY rootKey = RootKey(root.rootName);
        if (rootKey == nullptr) {
            return E_INVALIDARG;
        }
        const std::string rootPath = LongRootName(rootKey);
        for (const ScriptKey& key : root.keys) {
            const HRESULT hr = registerMode ? Register(rootKey, rootPath, key, failure)
                                            : Unregister(rootKey, rootPath, key, failure);
            if (FAILED(hr)) {
                if (registerMode) {
                    return hr;
                }
                if (SUCCEEDED(result)) {
                    result = hr;
                }
            }
        }
    }
    return result;
}

}  // namespace server
