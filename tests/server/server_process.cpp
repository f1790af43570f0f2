#include "tests/server/server_process.h"

#include "platform/unique_handle.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;
#endif

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace

#ifdef _WIN32

ProcessResult RunProcess(const std::string& serverPath, const std::string& arguments) {
    ProcessResult result;
    char tempDir[MAX_PATH];
    char errorPath[MAX_PATH];
    GetTempPathA(MAX_PATH, tempDir);
    GetTempFileNameA(tempDir, "qn", 0, errorPath);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    UniqueFileHandle errorFile(CreateFileA(errorPath, GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = errorFile.get();
    // UTF-8, so that a program in a folder of any name can be started.
    const std::string utf8 = "\"" + serverPath + "\" " + arguments;
    std::wstring commandLine(utf8.size() + 1, L'\0');
    commandLine.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_UTF8, 0, utf8.c_str(), -1, commandLine.data(), static_cast<int>(commandLine.size()))));
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
        const UniqueHandle thread(process.hThread);
        const UniqueHandle child(process.hProcess);
        WaitForSingleObject(child.get(), INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(child.get(), &code);
        result.exitCode = static_cast<int>(code);
    }
    errorFile.reset();  // closed before it is read
    result.errorOutput = ReadFile(errorPath);
    DeleteFileA(errorPath);
    return result;
}

#else

ProcessResult RunProcess(const std::string& serverPath, const std::string& arguments) {
    ProcessResult result;
    char errorPath[] = "/tmp/qn-server-stderr-XXXXXX";
    const int errorFd = mkstemp(errorPath);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errorFd, 2);
    std::vector<std::string> words = {serverPath};
    size_t start = 0;
    while (start < arguments.size()) {
        const size_t end = arguments.find(' ', start);
        words.push_back(
            arguments.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, serverPath.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(errorFd);
    result.errorOutput = ReadFile(errorPath);
    unlink(errorPath);
    return result;
}

#endif
