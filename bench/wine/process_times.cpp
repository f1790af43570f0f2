#include "bench/wine/process_times.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>

namespace bench {
namespace {

double Seconds(const FILETIME& time) {
    const ULONGLONG ticks =
        (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<double>(ticks) * 1e-7;  // 100 ns ticks
}

std::string Folded(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

// Ids of the processes running `exeName`.
std::vector<DWORD> ProcessIds(const std::string& exeName) {
    std::vector<DWORD> ids;
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return ids;
    }
    const std::string wanted = Folded(exeName);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        if (Folded(entry.szExeFile) == wanted) {
            ids.push_back(entry.th32ProcessID);
        }
    }
    return ids;
}

}  // namespace

std::optional<double> CpuSeconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return std::nullopt;
    }
    return Seconds(kernel) + Seconds(user);
}

NamedProcesses::NamedProcesses(const std::string& exeName) {
    for (DWORD id : ProcessIds(exeName)) {
        UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
        if (process) {
            processes_.push_back(std::move(process));
        }
    }
}

std::optional<double> NamedProcesses::CpuSeconds() const {
    if (processes_.empty()) {
        return std::nullopt;
    }
    double total = 0.0;
    for (const UniqueHandle& process : processes_) {
        const std::optional<double> seconds = bench::CpuSeconds(process.get());
        if (!seconds) {
            return std::nullopt;
        }
        total += *seconds;
    }
    return total;
}

std::size_t CountProcesses(const std::string& exeName) {
    return ProcessIds(exeName).size();
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace bench
