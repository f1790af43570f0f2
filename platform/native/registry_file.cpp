#include "platform/native/registry_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/native/unique_fd.h"
#include "platform/registry.h"

namespace native_registry {
namespace {

constexpr DWORD kWriteFault = 29;  // ERROR_WRITE_FAULT

std::mutex problemMutex;
std::string lastProblem;

void SetProblem(std::string problem) {
    std::lock_guard<std::mutex> guard(problemMutex);
    lastProblem = std::move(problem);
}

LONG StatusFromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return static_cast<LONG>(ERROR_ACCESS_DENIED);
        case ENOMEM:
            return static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY);
        default:
            return static_cast<LONG>(kWriteFault);
    }
}

LONG Fail(const std::string& path, const char* action, int error) {
    SetProblem(path + ": " + action + ": " + std::strerror(error));
    return StatusFromErrno(error);
}

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// mkdir -p; the store's folder may not exist on a fresh machine.
bool MakeFolders(const std::string& folder) {
    struct stat info;
    if (::stat(folder.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode);
    }
    const std::string parent = ParentFolder(folder);
    if (parent != folder && !MakeFolders(parent)) {
        return false;
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Reads the whole file; false with errno set when it cannot be read.
bool ReadWhole(int fd, std::string& out) {
    char buffer[8192];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            return true;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
}

bool WriteWhole(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

LONG LoadFrom(const std::string& path, Tree& tree) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            tree = Tree();
            tree.AddStandardKeys();
            SetProblem({});
            return ERROR_SUCCESS;
        }
        return Fail(path, "cannot open the registry store", errno);
    }
    std::string text;
    if (!ReadWhole(fd.get(), text)) {
        return Fail(path, "cannot read the registry store", errno);
    }
    try {
        tree = ParseTree(text);
    } catch (const FormatError& error) {
        SetProblem(path + ":" + std::to_string(error.Line()) +
                   ": not a readable registry store (left untouched): " + error.what());
        return static_cast<LONG>(ERROR_BADDB);
    }
    tree.AddStandardKeys();
    SetProblem({});
    return ERROR_SUCCESS;
}

// Replaces the store by a complete new file: a reader or a crash sees either
// the old store or the new one, never a part of it. The temporary name is
// fixed because only the holder of the lock writes it; one left by a writer
// that died is simply overwritten.
LONG WriteAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp";
    UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        return Fail(temporary, "cannot create", errno);
    }
    // Closed here, for its result: a failed close can mean lost data.
    if (!WriteWhole(fd.get(), text) || ::fsync(fd.get()) != 0 || ::close(fd.release()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Fail(temporary, "cannot write", error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Fail(path, "cannot replace", error);
    }
    // Makes the rename itself durable.
    UniqueFd folder(::open(ParentFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) {
        ::fsync(folder.get());
    }
    return ERROR_SUCCESS;
}

}  // namespace

std::string StorePath() {
    if (const char* explicitPath = std::getenv(kRegistryFileVariable);
        explicitPath != nullptr && *explicitPath != '\0') {
        return explicitPath;
    }
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || *home == '\0') {
            const passwd* entry = ::getpwuid(::getuid());
            home = entry != nullptr ? entry->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/translation-engine/registry.reg";
}

LONG LoadStore(Tree& tree) {
    return LoadFrom(StorePath(), tree);
}

LONG UpdateStore(const std::function<LONG(Tree& tree, bool& changed)>& change) {
    const std::string path = StorePath();
    if (!MakeFolders(ParentFolder(path))) {
        return Fail(ParentFolder(path), "cannot create the registry folder", errno);
    }
    const std::string lockPath = path + ".lock";
    UniqueFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0) {
        return Fail(lockPath, "cannot open", errno);
    }
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return Fail(lockPath, "cannot lock", errno);
        }
    }
    // Read again under the lock: another process may have changed the store
    // since this one last looked.
    Tree tree;
    const LONG loaded = LoadFrom(path, tree);
    if (loaded != ERROR_SUCCESS) {
        return loaded;
    }
    bool changed = false;
    const LONG status = change(tree, changed);
    if (status != ERROR_SUCCESS || !changed) {
        return status;
    }
    return WriteAtomically(path, FormatTree(tree));
    // The lock goes with the descriptor.
}

std::string LastStoreProblem() {
    std::lock_guard<std::mutex> guard(problemMutex);
    return lastProblem;
}

}  // namespace native_registry
