#include <windows.h>

#include <cstdlib>
#include <string>

#include "bridge/config.h"
#include "bridge/configure_system.h"
#include "platform/unique_handle.h"

namespace bridge {

std::vector<RegistryView> RegistryViews() {
    return {{KEY_WOW64_64KEY, "64-bit view"}, {KEY_WOW64_32KEY, "32-bit view"}};
}

std::string DefaultBackendFolder(const std::string& /*configPath*/) {
    std::string folder = DefaultConfigPath();
    folder.erase(folder.find_last_of('\\'));
    return folder + "\\backend";
}

std::string LocalPath(const std::string& registryPath) {
    return registryPath;
}

int RunServerConfigure(const std::string& program, std::string& problem) {
    // The registry and the command line are read in the ANSI code page.
    const std::string line = "\"" + program + "\" /Configure";
    std::wstring wide(line.size() + 1, L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_ACP, 0, line.c_str(), -1, wide.data(), static_cast<int>(wide.size()))));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (wide.empty() || !CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &process)) {
        problem = "it could not be started (error " + std::to_string(GetLastError()) + ")";
        return -1;
    }
    const UniqueHandle thread(process.hThread);
    const UniqueHandle child(process.hProcess);
    WaitForSingleObject(child.get(), INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(child.get(), &code)) {
        problem = "its exit code could not be read";
        return -1;
    }
    return static_cast<int>(code);
}

}  // namespace bridge
