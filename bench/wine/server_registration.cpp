#include "bench/wine/server_registration.h"

#include <windows.h>

#include <algorithm>

#include "platform/unique_handle.h"

namespace bench {

std::string WindowsPath(const std::string& path) {
    if (path.empty() || path.front() != '/') {
        return path;
    }
    std::string windows;
    windows.reserve(path.size() + 2);
    windows.append("Z:").append(path);
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

int RunWithSwitch(const std::string& exe, const std::string& switchText) {
    std::string commandLine;
    commandLine.append("\"").append(WindowsPath(exe)).append("\" ").append(switchText);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return -1;
    }
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code)) {
        return -1;
    }
    return static_cast<int>(code);
}

ServerRegistration::ServerRegistration(std::string exe)
    : exe_(std::move(exe)), exitCode_(RunWithSwitch(exe_, "/RegServer")) {}

ServerRegistration::~ServerRegistration() {
    if (Registered()) {
        RunWithSwitch(exe_, "/UnregServer");
    }
}

}  // namespace bench
