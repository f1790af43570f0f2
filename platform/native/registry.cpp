// The registry functions over the native store. Every call reads the store
// file afresh (other processes may have changed it) and every change goes
// through UpdateStore, which re-reads and writes under the store's lock. A
// handle remembers its key by path, so a key deleted behind its back makes
// later calls fail with ERROR_KEY_DELETED.
#include "platform/registry.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/native/registry_file.h"
#include "platform/native/registry_tree.h"

using native_registry::Hive;
using native_registry::Key;
using native_registry::Tree;

struct HKEY__ {
    Hive hive;
    std::vector<std::string> path;
    REGSAM access;
};

namespace {

constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericAll = 0x10000000;
constexpr REGSAM kMaximumAllowed = 0x02000000;
constexpr REGSAM kWriteDac = 0x00040000;
constexpr REGSAM kWriteOwner = 0x00080000;
// Rights that change the registry: refused under HKEY_LOCAL_MACHINE when
// machine writes are denied.
constexpr REGSAM kChangingRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | kWriteDac | kWriteOwner;

// One call at a time in the process; other processes are kept out by the
// store's file lock.
std::mutex& ApiMutex() {
    static std::mutex* mutex = new std::mutex;  // never destroyed: usable during exit
    return *mutex;
}

std::unordered_set<HKEY>& LiveHandles() {
    static auto* handles = new std::unordered_set<HKEY>;
    return *handles;
}

LONG Status(DWORD error) {
    return static_cast<LONG>(error);
}

// Where a handle points: a hive, the key path below it and the handle's rights.
struct Location {
    Hive hive = Hive::LocalMachine;
    std::vector<std::string> path;
    REGSAM access = 0;
    bool predefined = false;
};

REGSAM ExpandGenericRights(REGSAM access) {
    if (access & (kGenericAll | kMaximumAllowed)) {
        access |= KEY_ALL_ACCESS;
    }
    if (access & kGenericRead) {
        access |= KEY_READ;
    }
    if (access & kGenericWrite) {
        access |= KEY_WRITE;
    }
    return access & ~(kGenericAll | kMaximumAllowed | kGenericRead | kGenericWrite);
}

bool Resolve(HKEY key, Location& out) {
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT) {
        out.hive = key == HKEY_CURRENT_USER ? Hive::CurrentUser : Hive::LocalMachine;
        out.path.clear();
        if (key == HKEY_CLASSES_ROOT) {
            out.path = {"Software", "Classes"};
        }
        out.access = KEY_ALL_ACCESS;
        out.predefined = true;
        return true;
    }
    if (key == nullptr || LiveHandles().count(key) == 0) {
        return false;
    }
    out.hive = key->hive;
    out.path = key->path;
    out.access = key->access;
    out.predefined = false;
    return true;
}

// What a denial variable covers under HKEY_LOCAL_MACHINE.
struct Denial {
    bool all = false;
    std::vector<std::string> key;  // when not all: this key and everything below it
};

// Reads `variable`: unset, empty or "0" denies nothing, "1" everything under
// HKEY_LOCAL_MACHINE, anything else names a key path below it.
std::optional<Denial> ReadDenial(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0' || std::strcmp(value, "0") == 0) {
        return std::nullopt;
    }
    Denial denial;
    if (std::strcmp(value, "1") == 0) {
        denial.all = true;
        return denial;
    }
    for (std::string_view rest(value); !rest.empty();) {
        const std::size_t end = std::min(rest.find('\\'), rest.size());
        if (end > 0) {
            denial.key.emplace_back(rest.substr(0, end));
        }
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return denial;
}

// Whether `inner` is `outer` or lies below it.
bool IsAtOrBelow(const std::vector<std::string>& inner, const std::vector<std::string>& outer) {
    return inner.size() >= outer.size() &&
           std::equal(outer.begin(), outer.end(), inner.begin(),
                      [](const std::string& a, const std::string& b) {
                          return native_registry::NamesEqual(a, b);
                      });
}

// Whether changing the key at `path` under HKEY_LOCAL_MACHINE is denied.
bool ChangeDenied(Hive hive, const std::vector<std::string>& path) {
    if (hive != Hive::LocalMachine) {
        return false;
    }
    const std::optional<Denial> denial = ReadDenial(kRegistryDenyMachineWritesVariable);
    return denial && (denial->all || IsAtOrBelow(path, denial->key));
}

bool ChangeDenied(const Location& at) {
    return ChangeDenied(at.hive, at.path);
}

// Whether deleting the key at `path` is denied, by a denial of changes or
// of deletes: for the key itself, or, when `withSubkeys`, for any key beneath
// it (deleting a tree deletes each of its keys).
bool DeleteDenied(Hive hive, const std::vector<std::string>& path, bool withSubkeys) {
    if (hive != Hive::LocalMachine) {
        return false;
    }
    for (const char* variable :
         {kRegistryDenyMachineWritesVariable, kRegistryDenyMachineDeletesVariable}) {
        const std::optional<Denial> denial = ReadDenial(variable);
        if (denial && (denial->all || IsAtOrBelow(path, denial->key) ||
                       (withSubkeys && IsAtOrBelow(denial->key, path)))) {
            return true;
        }
    }
    return false;
}

// Splits a subkey path at backslashes. Empty pieces (doubled or trailing
// backslashes) are skipped as Windows does; a leading backslash is refused.
LONG SplitSubKey(LPCSTR subKey, std::vector<std::string>& out) {
    out.clear();
    if (subKey == nullptr) {
        return ERROR_SUCCESS;
    }
    const std::string_view path(subKey);
    if (!path.empty() && path.front() == '\\') {
        return Status(ERROR_BAD_PATHNAME);
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > start) {
            if (end - start > native_registry::kMaxKeyNameBytes) {
                return Status(ERROR_INVALID_PARAMETER);
            }
            out.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

Key* FindKey(Tree& tree, Hive hive, const std::vector<std::string>& path) {
    Key* key = &tree.Root(hive);
    for (const std::string& name : path) {
        key = key->FindChild(name);
        if (key == nullptr) {
            return nullptr;
        }
    }
    return key;
}

HKEY NewHandle(Hive hive, std::vector<std::string> path, REGSAM access) {
    HKEY handle = new HKEY__{hive, std::move(path), access};
    LiveHandles().insert(handle);
    return handle;
}

std::vector<std::string> Joined(const std::vector<std::string>& base,
                                const std::vector<std::string>& more) {
    std::vector<std::string> path = base;
    path.insert(path.end(), more.begin(), more.end());
    return path;
}

// Reads the store and finds the key a handle names.
LONG LoadKey(HKEY handle, REGSAM needed, Tree& tree, Key*& key) {
    Location at;
    if (!Resolve(handle, at)) {
        return Status(ERROR_INVALID_HANDLE);
    }
    if ((at.access & needed) != needed) {
        return Status(ERROR_ACCESS_DENIED);
    }
    const LONG loaded = native_registry::LoadStore(tree);
    if (loaded != ERROR_SUCCESS) {
        return loaded;
    }
    key = FindKey(tree, at.hive, at.path);
    return key == nullptr ? Status(ERROR_KEY_DELETED) : Status(ERROR_SUCCESS);
}

std::string ValueName(LPCSTR name) {
    return name == nullptr ? std::string() : std::string(name);
}

// The data-returning half of RegQueryValueExA and RegEnumValueA.
LONG CopyData(const native_registry::Value& value, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (type != nullptr) {
        *type = value.type;
    }
    const auto size = static_cast<DWORD>(value.data.size());
    if (data == nullptr) {
        if (dataSize != nullptr) {
            *dataSize = size;
        }
        return ERROR_SUCCESS;
    }
    if (*dataSize < size) {
        *dataSize = size;
        return Status(ERROR_MORE_DATA);
    }
    if (size != 0) {
        std::memcpy(data, value.data.data(), size);
    }
    *dataSize = size;
    return ERROR_SUCCESS;
}

// Deletes subKey below key (an empty subKey: the key itself). Without
// `recursive`, a key that still has subkeys is refused as Windows refuses it.
LONG DeleteKey(HKEY key, LPCSTR subKey, bool recursive) {
    if (subKey == nullptr) {
        return Status(ERROR_INVALID_PARAMETER);
    }
    Location at;
    if (!Resolve(key, at)) {
        return Status(ERROR_INVALID_HANDLE);
    }
    std::vector<std::string> names;
    if (const LONG split = SplitSubKey(subKey, names); split != ERROR_SUCCESS) {
        return split;
    }
    const std::vector<std::string> target = Joined(at.path, names);
    if (target.empty()) {
        return Status(ERROR_ACCESS_DENIED);  // a hive itself
    }
    if (DeleteDenied(at.hive, target, recursive)) {
        return Status(ERROR_ACCESS_DENIED);
    }
    return native_registry::UpdateStore([&](Tree& tree, bool& changed) -> LONG {
        const std::vector<std::string> parentPath(target.begin(), target.end() - 1);
        Key* parent = FindKey(tree, at.hive, parentPath);
        Key* victim = parent != nullptr ? parent->FindChild(target.back()) : nullptr;
        if (victim == nullptr) {
            return Status(ERROR_FILE_NOT_FOUND);
        }
        if (!recursive && !victim->Children().empty()) {
            return Status(ERROR_ACCESS_DENIED);
        }
        parent->RemoveChild(target.back());
        changed = true;
        return ERROR_SUCCESS;
    });
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD /*options*/, REGSAM access, PHKEY result) {
    if (result == nullptr) {
        return Status(ERROR_INVALID_PARAMETER);
    }
    *result = nullptr;
    std::lock_guard<std::mutex> guard(ApiMutex());
    Location at;
    if (!Resolve(key, at)) {
        return Status(ERROR_INVALID_HANDLE);
    }
    std::vector<std::string> names;
    if (const LONG split = SplitSubKey(subKey, names); split != ERROR_SUCCESS) {
        return split;
    }
    access = ExpandGenericRights(access);
    Tree tree;
    if (const LONG loaded = native_registry::LoadStore(tree); loaded != ERROR_SUCCESS) {
        return loaded;
    }
    const std::vector<std::string> path = Joined(at.path, names);
    if (FindKey(tree, at.hive, path) == nullptr) {
        return Status(ERROR_FILE_NOT_FOUND);
    }
    if ((access & kChangingRights) != 0 && ChangeDenied(at.hive, path)) {
        return Status(ERROR_ACCESS_DENIED);
    }
    if ((access & DELETE) != 0 && DeleteDenied(at.hive, path, false)) {
        return Status(ERROR_ACCESS_DENIED);
    }
    *result = NewHandle(at.hive, path, access);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD /*reserved*/, LPSTR /*keyClass*/,
                     DWORD /*options*/, REGSAM access, LPSECURITY_ATTRIBUTES /*security*/,
                     PHKEY result, LPDWORD disposition) {
    if (result == nullptr) {
        return Status(ERROR_INVALID_PARAMETER);
    }
    *result = nullptr;
    std::lock_guard<std::mutex> guard(ApiMutex());
    Location at;
    if (!Resolve(key, at)) {
        return Status(ERROR_INVALID_HANDLE);
    }
    std::vector<std::string> names;
    if (const LONG split = SplitSubKey(subKey, names); split != ERROR_SUCCESS) {
        return split;
    }
    if (at.path.size() + names.size() > native_registry::kMaxKeyDepth) {
        return Status(ERROR_INVALID_PARAMETER);
    }
    access = ExpandGenericRights(access);
    if ((access & kChangingRights) != 0 && ChangeDenied(at.hive, Joined(at.path, names))) {
        return Status(ERROR_ACCESS_DENIED);
    }
    if ((access & DELETE) != 0 && DeleteDenied(at.hive, Joined(at.path, names), false)) {
        return Status(ERROR_ACCESS_DENIED);
    }
    bool lastCreated = false;
    const LONG status = native_registry::UpdateStore([&](Tree& tree, bool& changed) -> LONG {
        Key* current = FindKey(tree, at.hive, at.path);
        if (current == nullptr) {
            return Status(ERROR_KEY_DELETED);
        }
        for (const std::string& name : names) {
            if (Key* existing = current->FindChild(name)) {
                current = existing;
                lastCreated = false;
                continue;
            }
            if ((at.access & KEY_CREATE_SUB_KEY) == 0 || ChangeDenied(at)) {
                return Status(ERROR_ACCESS_DENIED);
            }
            current = &current->ChildOrNew(name);
            lastCreated = true;
            changed = true;
        }
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (disposition != nullptr) {
        *disposition = lastCreated ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *result = NewHandle(at.hive, Joined(at.path, names), access);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT) {
        return ERROR_SUCCESS;
    }
    std::lock_guard<std::mutex> guard(ApiMutex());
    if (key == nullptr || LiveHandles().erase(key) == 0) {
        return Status(ERROR_INVALID_HANDLE);
    }
    delete key;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
        return Status(ERROR_INVALID_PARAMETER);
    }
    std::lock_guard<std::mutex> guard(ApiMutex());
    Tree tree;
    Key* found = nullptr;
    if (const LONG status = LoadKey(key, KEY_QUERY_VALUE, tree, found); status != ERROR_SUCCESS) {
        return status;
    }
    const native_registry::Value* value = found->FindValue(ValueName(valueName));
    if (value == nullptr) {
        return Status(ERROR_FILE_NOT_FOUND);
    }
    return CopyData(*value, type, data, dataSize);
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    if (data == nullptr && dataSize != 0) {
        return Status(ERROR_INVALID_PARAMETER);
    }
    const std::string name = ValueName(valueName);
    if (name.size() > native_registry::kMaxValueNameBytes) {
        return Status(ERROR_INVALID_PARAMETER);
    }
    std::lock_guard<std::mutex> guard(ApiMutex());
    Location at;
    if (!Resolve(key, at)) {
        return Status(ERROR_INVALID_HANDLE);
    }
    if ((at.access & KEY_SET_VALUE) == 0 || ChangeDenied(at)) {
        return Status(ERROR_ACCESS_DENIED);
    }
    std::vector<BYTE> bytes(data, data + dataSize);
    return native_registry::UpdateStore([&](Tree& tree, bool& changed) -> LONG {
        Key* found = FindKey(tree, at.hive, at.path);
        if (found == nullptr) {
            return Status(ERROR_KEY_DELETED);
        }
        const native_registry::Value* old = found->FindValue(name);
        if (old != nullptr && old->type == type && old->data == bytes) {
            return ERROR_SUCCESS;  // nothing to write
        }
        found->SetValue(name, type, std::move(bytes));
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
    const std::string name = ValueName(valueName);
    std::lock_guard<std::mutex> guard(ApiMutex());
    Location at;
    if (!Resolve(key, at)) {
        return Status(ERROR_INVALID_HANDLE);
    }
    if ((at.access & KEY_SET_VALUE) == 0 || ChangeDenied(at)) {
        return Status(ERROR_ACCESS_DENIED);
    }
    return native_registry::UpdateStore([&](Tree& tree, bool& changed) -> LONG {
        Key* found = FindKey(tree, at.hive, at.path);
        if (found == nullptr) {
            return Status(ERROR_KEY_DELETED);
        }
        if (!found->RemoveValue(name)) {
            return Status(ERROR_FILE_NOT_FOUND);
        }
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    std::lock_guard<std::mutex> guard(ApiMutex());
    return DeleteKey(key, subKey, false);
}

DWORD SHDeleteKeyA(HKEY key, LPCSTR subKey) {
    std::lock_guard<std::mutex> guard(ApiMutex());
    return static_cast<DWORD>(DeleteKey(key, subKey, true));
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPSTR keyClass, LPDWORD classLength, PFILETIME lastWriteTime) {
    if (name == nullptr || nameLength == nullptr || reserved != nullptr) {
        return Status(ERROR_INVALID_PARAMETER);
    }
    std::lock_guard<std::mutex> guard(ApiMutex());
    Tree tree;
    Key* found = nullptr;
    if (const LONG status = LoadKey(key, KEY_ENUMERATE_SUB_KEYS, tree, found);
        status != ERROR_SUCCESS) {
        return status;
    }
    if (index >= found->Children().size()) {
        return Status(ERROR_NO_MORE_ITEMS);
    }
    const std::string& childName = found->Children()[index]->Name();
    if (childName.size() + 1 > *nameLength) {
        return Status(ERROR_MORE_DATA);
    }
    std::memcpy(name, childName.c_str(), childName.size() + 1);
    *nameLength = static_cast<DWORD>(childName.size());
    if (keyClass != nullptr && classLength != nullptr && *classLength > 0) {
        keyClass[0] = '\0';
    }
    if (classLength != nullptr) {
        *classLength = 0;
    }
    if (lastWriteTime != nullptr) {
        *lastWriteTime = FILETIME{0, 0};
    }
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (name == nullptr || nameLength == nullptr || reserved != nullptr ||
        (data != nullptr && dataSize == nullptr)) {
        return Status(ERROR_INVALID_PARAMETER);
    }
    std::lock_guard<std::mutex> guard(ApiMutex());
    Tree tree;
    Key* found = nullptr;
    if (const LONG status = LoadKey(key, KEY_QUERY_VALUE, tree, found); status != ERROR_SUCCESS) {
        return status;
    }
    if (index >= found->Values().size()) {
        return Status(ERROR_NO_MORE_ITEMS);
    }
    const native_registry::Value& value = found->Values()[index];
    if (value.name.size() + 1 > *nameLength) {
        return Status(ERROR_MORE_DATA);
    }
    std::memcpy(name, value.name.c_str(), value.name.size() + 1);
    *nameLength = static_cast<DWORD>(value.name.size());
    return CopyData(value, type, data, dataSize);
}

std::string RegistryStoreProblem() {
    return native_registry::LastStoreProblem();
}

// The store keeps bytes: UTF-8 passes through.
LONG RegSetUtf8StringValue(HKEY key, LPCSTR valueName, std::string_view utf8) {
    const std::string text(utf8);
    return RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}
