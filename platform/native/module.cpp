#include "platform/module.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

constexpr DWORD kModNotFound = 126;  // ERROR_MOD_NOT_FOUND

std::mutex& ModuleMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::optional<std::string>& ModulePathOverride() {
    static auto* path = new std::optional<std::string>;
    return *path;
}

std::string ProgramPath() {
    std::string buffer(256, '\0');
    while (true) {
        const ssize_t got = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (got < 0) {
            return {};
        }
        if (static_cast<std::size_t>(got) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(got));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    std::replace(buffer.begin(), buffer.end(), '/', '\\');
    return "Z:" + buffer;
}

// "C:\dir\file" or "/dir/file" to "/dir/file".
std::string PosixPath(const char* windowsPath) {
    std::string path(windowsPath);
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        path.erase(0, 2);
    }
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

struct FindState {
    std::vector<WIN32_FIND_DATAA> entries;
    std::size_t next = 0;
};

std::unordered_set<FindState*>& LiveSearches() {
    static auto* searches = new std::unordered_set<FindState*>;
    return *searches;
}

FILETIME FileTime(const timespec& when) {
    // 100-nanosecond intervals since 1601-01-01.
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(when.tv_sec) + 11644473600ull) * 10000000ull +
        static_cast<std::uint64_t>(when.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool Describe(const std::string& path, const std::string& name, WIN32_FIND_DATAA& entry) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || name.size() >= MAX_PATH) {
        return false;
    }
    std::memset(&entry, 0, sizeof entry);
    entry.dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if ((info.st_mode & S_IWUSR) == 0) {
        entry.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (entry.dwFileAttributes == 0) {
        entry.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    entry.ftCreationTime = FileTime(info.st_ctim);
    entry.ftLastAccessTime = FileTime(info.st_atim);
    entry.ftLastWriteTime = FileTime(info.st_mtim);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    entry.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    entry.nFileSizeLow = static_cast<DWORD>(size);
    std::memcpy(entry.cFileName, name.c_str(), name.size() + 1);
    return true;
}

}  // namespace

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    if (module != nullptr) {
        SetLastError(kModNotFound);
        return 0;
    }
    std::string path;
    {
        std::lock_guard<std::mutex> guard(ModuleMutex());
        path = ModulePathOverride() ? *ModulePathOverride() : ProgramPath();
    }
    if (fileName == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= size) {
        std::memcpy(fileName, path.data(), size - 1);
        fileName[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

void SetModuleFileNameForTesting(const char* path) {
    std::lock_guard<std::mutex> guard(ModuleMutex());
    if (path == nullptr) {
        ModulePathOverride().reset();
    } else {
        ModulePathOverride() = std::string(path);
    }
}

HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA data) {
    if (fileName == nullptr || data == nullptr || *fileName == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = PosixPath(fileName);
    if (path.back() == '/') {
        SetLastError(ERROR_FILE_NOT_FOUND);  // Windows finds nothing for "dir\"
        return INVALID_HANDLE_VALUE;
    }
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);

    auto state = std::make_unique<FindState>();
    if (pattern.find_first_of("*?") == std::string::npos) {
        WIN32_FIND_DATAA entry;
        if (Describe(path, pattern, entry)) {
            state->entries.push_back(entry);
        }
    } else {
        if (pattern == "*.*") {
            pattern = "*";  // Windows' spelling of "everything"
        }
        if (DIR* dir = ::opendir(folder.c_str())) {
            while (const dirent* item = ::readdir(dir)) {
                WIN32_FIND_DATAA entry;
                if (::fnmatch(pattern.c_str(), item->d_name, FNM_CASEFOLD | FNM_NOESCAPE) == 0 &&
                    Describe(folder + "/" + item->d_name, item->d_name, entry)) {
                    state->entries.push_back(entry);
                }
            }
            ::closedir(dir);
        }
    }
    if (state->entries.empty()) {
        struct stat info;
        SetLastError(::stat(folder.c_str(), &info) == 0 ? ERROR_FILE_NOT_FOUND
                                                        : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *data = state->entries[state->next++];
    std::lock_guard<std::mutex> guard(ModuleMutex());
    LiveSearches().insert(state.get());
    return state.release();
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    std::lock_guard<std::mutex> guard(ModuleMutex());
    auto* state = static_cast<FindState*>(find);
    if (data == nullptr || LiveSearches().count(state) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (state->next >= state->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = state->entries[state->next++];
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    std::lock_guard<std::mutex> guard(ModuleMutex());
    auto* state = static_cast<FindState*>(find);
    if (LiveSearches().erase(state) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete state;
    return TRUE;
}

// Native paths are bytes already: UTF-8 passes through.
bool ModuleFileNameUtf8(std::string& path) {
    char buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) {
        return false;
    }
    path.assign(buffer, length);
    return true;
}

std::string_view ModuleResource(int /*id*/, const char* /*type*/) {
    return {};
}
