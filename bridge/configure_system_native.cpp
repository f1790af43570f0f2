#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "bridge/configure_system.h"

extern char** environ;

namespace bridge {

std::vector<RegistryView> RegistryViews() {
    return {{0, "registry"}};
}

std::string DefaultBackendFolder(const std::string& configPath) {
    const std::filesystem::path config = std::filesystem::absolute(configPath);
    return (config.parent_path() / "backend").string();
}

// As the native file functions read a Windows path: a drive letter is
// dropped, backslashes are slashes.
std::string LocalPath(const std::string& registryPath) {
    std::string path = registryPath;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        path.erase(0, 2);
    }
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

int RunServerConfigure(const std::string& program, std::string& problem) {
    std::string path = program;
    std::string argument = "/Configure";
    char* const argv[] = {path.data(), argument.data(), nullptr};
    pid_t child = 0;
    const int started = posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ);
    if (started != 0) {
        problem = std::string("it could not be started: ") + std::strerror(started);
        return -1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            problem = std::string("waiting for it failed: ") + std::strerror(errno);
            return -1;
        }
    }
    if (!WIFEXITED(status)) {
        problem = "it ended by signal " + std::to_string(WTERMSIG(status));
        return -1;
    }
    return WEXITSTATUS(status);
}

}  // namespace bridge
