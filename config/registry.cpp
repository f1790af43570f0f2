#include "config/registry.h"

#include <utility>

namespace {

// KEY_READ with KEY_SET_VALUE and KEY_CREATE_SUB_KEY: what a write needs.
constexpr REGSAM kWriteAccess = 0x2001F;
// Room for a name and its terminator in the listings.
constexpr DWORD kNameBufferLength = 260;

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        if (end == std::string::npos) {
            parts.push_back(path.substr(start));
            return parts;
        }
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

RegistryKeyMissing::RegistryKeyMissing(std::string path) : path_(std::move(path)) {}

std::string RegistryKeyMissing::Message() const {
    return path_;
}

bool Registry_Base::GetBool(const std::string& name, bool defaultValue) {
    bool value = false;
    return ReadBool(name, value) ? value : defaultValue;
}

std::string Registry_Base::GetString(const std::string& name, const char* defaultValue) {
    std::string value;
    if (ReadString(name, value)) {
        return value;
    }
    return defaultValue != nullptr ? std::string(defaultValue) : std::string();
}

Registry::Registry(HKEY root, std::string path, REGSAM view)
    : root_(root), view_(view), path_(std::move(path)) {}

Registry::~Registry() = default;

void Registry::Close() {
    handle_.reset();
    writable_ = false;
}

bool Registry::OpenForReading() {
    if (handle_) {
        return true;
    }
    UniqueHkey key;
    if (RegOpenKeyExA(root_, path_.c_str(), 0, KEY_READ | view_, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    handle_ = std::move(key);
    return true;
}

// Opens the first path component without ever creating it (a missing
// top-level key means the wrong root or a broken installation, not something
// to create) and opens or creates every later one. The intermediate keys are
// closed when the walk ends, whatever its outcome.
void Registry::OpenForWriting() {
    Close();
    const std::vector<std::string> parts = SplitPath(path_);
    std::vector<UniqueHkey> intermediate;
    UniqueHkey last;
    HKEY parent = root_;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool isLast = i + 1 == parts.size();
        // An empty last component (a trailing backslash) is never opened, and
        // an empty first one would stand for the root itself.
        if (parts[i].empty() && (isLast || i == 0)) {
            break;
        }
        UniqueHkey key;
        const LONG status =
            i == 0 ? RegOpenKeyExA(parent, parts[i].c_str(), 0, kWriteAccess | view_, key.put())
                   : RegCreateKeyExA(parent, parts[i].c_str(), 0, nullptr, 0, kWriteAccess | view_,
                                     nullptr, key.put(), nullptr);
        if (status != ERROR_SUCCESS) {
            break;
        }
        if (isLast) {
            last = std::move(key);
        } else {
            parent = key.get();
            intermediate.push_back(std::move(key));
        }
    }
    if (!last) {
        throw RegistryKeyMissing(path_);
    }
    handle_ = std::move(last);
    writable_ = true;
}

bool Registry::ReadBytes(const std::string& name, DWORD& size, std::unique_ptr<BYTE[]>& data) {
    if (!OpenForReading()) {
        return false;
    }
    DWORD type = REG_NONE;
    DWORD needed = 0;
    if (RegQueryValueExA(handle_.get(), name.c_str(), nullptr, &type, nullptr, &needed) !=
            ERROR_SUCCESS ||
        needed == 0 || type != REG_BINARY) {
        return false;
    }
    auto buffer = std::make_unique<BYTE[]>(needed);
    DWORD got = needed;
    if (RegQueryValueExA(handle_.get(), name.c_str(), nullptr, &type, buffer.get(), &got) !=
            ERROR_SUCCESS ||
        type != REG_BINARY || got == 0) {
        return false;
    }
    size = got;
    data = std::move(buffer);
    return true;
}

bool Registry::ReadString(const std::string& name, std::string& value) {
    if (!OpenForReading()) {
        return false;
    }
    DWORD type = REG_NONE;
    DWORD needed = 0;
    if (RegQueryValueExA(handle_.get(), name.c_str(), nullptr, &type, nullptr, &needed) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    if (needed == 0) {
        value.clear();  // stored without even a terminator
        return true;
    }
    std::string buffer(needed, '\0');
    DWORD got = needed;
    if (RegQueryValueExA(handle_.get(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &got) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    buffer.resize(got);
    // Only a stored terminator is dropped: a value written without one keeps
    // its last character.
    if (!buffer.empty() && buffer.back() == '\0') {
        buffer.pop_back();
    }
    value = std::move(buffer);
    return true;
}

bool Registry::ReadDword(const std::string& name, DWORD& value) {
    if (!OpenForReading()) {
        return false;
    }
    DWORD type = REG_NONE;
    DWORD number = 0;
    DWORD size = sizeof number;
    // A REG_DWORD of fewer than four bytes would leave part of the number
    // unwritten; it reads as absent like any other malformed value.
    if (RegQueryValueExA(handle_.get(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof number) {
        return false;
    }
    value = number;
    return true;
}

bool Registry::ReadBool(const std::string& name, bool& value) {
    DWORD number = 0;
    if (!ReadDword(name, number)) {
        return false;
    }
    value = number != 0;
    return true;
}

void Registry::SetValue(const std::string& name, DWORD type, const BYTE* data, DWORD size) {
    if (!writable_) {
        OpenForWriting();
    }
    const LONG status = RegSetValueExA(handle_.get(), name.c_str(), 0, type, data, size);
    if (status != ERROR_SUCCESS) {
        throw SystemErrorException("RegSetValueExA", static_cast<DWORD>(status));
    }
}

bool Registry::Deleted(const char* function, LONG status) {
    if (status == ERROR_SUCCESS) {
        return true;
    }
    if (status == static_cast<LONG>(ERROR_FILE_NOT_FOUND)) {
        return false;
    }
    throw SystemErrorException(function, static_cast<DWORD>(status));
}

void Registry::WriteBytes(const std::string& name, DWORD size, const BYTE* data) {
    if (data == nullptr && size != 0) {
        throw SystemErrorException("RegSetValueExA", ERROR_INVALID_PARAMETER);
    }
    SetValue(name, REG_BINARY, data, size);
}

void Registry::WriteString(const std::string& name, const std::string& value) {
    SetValue(name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
             static_cast<DWORD>(value.size() + 1));
}

void Registry::WriteDword(const std::string& name, DWORD value) {
    SetValue(name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void Registry::WriteBool(const std::string& name, bool value) {
    WriteDword(name, value ? 1 : 0);
}

bool Registry::DeleteValue(const std::string& name) {
    if (!writable_) {
        OpenForWriting();
    }
    return Deleted("RegDeleteValueA", RegDeleteValueA(handle_.get(), name.c_str()));
}

bool Registry::DeleteKey(const std::string& child) {
    // An empty name would make the recursive delete take this key itself.
    if (child.empty()) {
        return false;
    }
    if (!writable_) {
        OpenForWriting();
    }
    return Deleted("SHDeleteKeyA", static_cast<LONG>(SHDeleteKeyA(handle_.get(), child.c_str())));
}

std::vector<std::string> Registry::ListValueNames(const std::string* prefix) {
    std::vector<std::string> names;
    if (!OpenForReading()) {
        return names;
    }
    char buffer[kNameBufferLength];
    for (DWORD index = 0;; ++index) {
        buffer[0] = '\0';
        DWORD length = kNameBufferLength;
        if (RegEnumValueA(handle_.get(), index, buffer, &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
            break;
        }
        // The default value has no name to list; the ones after it still count.
        if (length == 0) {
            continue;
        }
        std::string name(buffer, length);
        if (prefix == nullptr || StartsWithNoCase(name, *prefix)) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

std::vector<std::string> Registry::ValueNamesWithPrefix(const std::string& prefix) {
    return ListValueNames(&prefix);
}

std::vector<std::string> Registry::ValueNames() {
    return ListValueNames(nullptr);
}

std::vector<std::string> Registry::SubKeyNames() {
    std::vector<std::string> names;
    if (!OpenForReading()) {
        return names;
    }
    char buffer[kNameBufferLength];
    while (true) {
        DWORD length = kNameBufferLength;
        if (RegEnumKeyExA(handle_.get(), static_cast<DWORD>(names.size()), buffer, &length, nullptr,
                          nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(buffer, length);
    }
    return names;
}

SubKey::SubKey(const Registry& parent, const std::string& child)
    : Registry(parent.Root(), parent.Path() + "\\" + child, parent.View()) {}

SubKey::~SubKey() = default;
