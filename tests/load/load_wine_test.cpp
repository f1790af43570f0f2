// Several host processes at once against one registered out-of-process
// server on the back end's fixed port: every job completes, the back end
// never sees two requests at the same time, the server exits once the last
// host lets go, and no process of the test is left behind. Hosts that
// activate and release engines in tight loops are all served: the server
// never ends between one host's release and another's activation.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/unique_handle.h"
#include "tests/load/load_jobs.h"
#include "tests/load/recording_relay.h"
#include "tests/server/server_end_guard.h"
#include "tests/server/server_process.h"
#include "tools/backend/test_backend.h"

namespace {

constexpr int kHosts = 4;
constexpr int kJobsPerHost = 25;
constexpr DWORD kHostGuardMs = 600000;  // hang guard only

std::string WindowsPath(std::string unixPath) {
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return "Z:" + unixPath;
}

int ProcessCount(const char* exeName) {
    int count = 0;
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return -1;  // cannot tell: never reads as "none left"
    }
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        count += _stricmp(entry.szExeFile, exeName) == 0 ? 1 : 0;
    }
    return count;
}

// A server that two activations at the same moment started twice, and that
// was never used, ends by itself after its unused lifetime.
bool WaitUntilGone(const char* exeName) {
    const auto deadline = std::chrono::steady_clock::now() + ServerEndGuard();
    while (ProcessCount(exeName) != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ProcessCount(exeName) == 0;
}

// One host process with its output going to a file of its own.
class Host {
  public:
    // `arguments` follow the host program's name on its command line.
    explicit Host(const std::string& arguments) {
        char folder[MAX_PATH];
        char file[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        GetTempFileNameA(folder, "qnh", 0, file);
        outputPath_ = file;
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        UniqueFileHandle output(CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output.get();
        startup.hStdError = output.get();
        std::string commandLine = "\"";
        commandLine.append(WindowsPath(QN_LOAD_HOST_EXE)).append("\" ").append(arguments);
        PROCESS_INFORMATION started = {};
        if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &started)) {
            const UniqueHandle thread(started.hThread);
            process_.reset(started.hProcess);
        }
    }
    ~Host() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 99);  // never leave a host behind
            WaitForSingleObject(process_.get(), INFINITE);
        }
        DeleteFileA(outputPath_.c_str());
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HANDLE Process() const { return process_.get(); }
    // The exit code once the host has ended, -1 when it has not (or never ran).
    int Wait(DWORD ms) const {
        DWORD code = 0;
        if (!process_ || WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(process_.get(), &code)) {
            return -1;
        }
        return static_cast<int>(code);
    }
    std::string Output() const {
        std::ifstream file(outputPath_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

  private:
    UniqueHandle process_;
    std::string outputPath_;
};

class WineLoad : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const ProcessResult registered = RunProcess(WindowsPath(QN_SERVER_EXE), "/RegServer");
        ASSERT_EQ(registered.exitCode, 0) << registered.errorOutput;
    }
    static void TearDownTestSuite() { RunProcess(WindowsPath(QN_SERVER_EXE), "/UnregServer"); }
};

TEST_F(WineLoad, FourHostProcessesShareOneServerThatExitsAfterTheLast) {
    test_backend::TestBackend backend;
    load::RecordingRelay relay(11000, backend.Port());
    const std::string serverExe = QN_SERVER_EXE_NAME;
    // A server of an earlier test may still be in its grace period.
    ASSERT_TRUE(WaitUntilGone(serverExe.c_str())) << "a server from elsewhere is running";

    // The first host activates the server alone; the others come once it
    // runs, so that only one server process is ever started.
    const std::string activeEvent = "QnLoadHostActive" + std::to_string(GetCurrentProcessId());
    UniqueHandle active(CreateEventA(nullptr, TRUE, FALSE, activeEvent.c_str()));
    ASSERT_TRUE(active);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::unique_ptr<Host>> hosts;
    hosts.push_back(
        std::make_unique<Host>("0 " + std::to_string(kJobsPerHost) + " " + activeEvent));
    ASSERT_TRUE(hosts[0]->Process());
    HANDLE firstSignals[2] = {active.get(), hosts[0]->Process()};
    ASSERT_EQ(WaitForMultipleObjects(2, firstSignals, FALSE, kHostGuardMs), WAIT_OBJECT_0)
        << "the first host ended or hung before its engine was active: " << hosts[0]->Output();
    for (int number = 1; number < kHosts; ++number) {
        hosts.push_back(
            std::make_unique<Host>(std::to_string(number) + " " + std::to_string(kJobsPerHost)));
        ASSERT_TRUE(hosts.back()->Process());
    }
    EXPECT_EQ(ProcessCount(serverExe.c_str()), 1);

    for (const auto& host : hosts) {
        EXPECT_EQ(host->Wait(kHostGuardMs), 0) << host->Output();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(WaitUntilGone(serverExe.c_str())) << "the server outlived its last client";

    relay.Stop();
    std::size_t expected = 0;
    for (int number = 0; number < kHosts; ++number) {
        for (int index = 0; index < kJobsPerHost; ++index) {
            expected += load::MakeJob(number, index).chunks.size();
        }
    }
    const std::vector<load::ExchangeMarks> exchanges = relay.Exchanges();
    EXPECT_EQ(exchanges.size(), expected);
    EXPECT_TRUE(std::all_of(exchanges.begin(), exchanges.end(),
                            [](const load::ExchangeMarks& m) { return m.answered; }));
    EXPECT_EQ(relay.OverlappingPairs(), 0u) << "the back end saw requests at the same time";
    std::cout << "load: " << kHosts << " host processes x " << kJobsPerHost << " jobs, "
              << exchanges.size() << " exchanges in " << seconds << " s\n";

    hosts.clear();
    EXPECT_EQ(ProcessCount("test_load_host.exe"), 0);
    EXPECT_EQ(ProcessCount(serverExe.c_str()), 0);
}

TEST_F(WineLoad, HostsActivatingAndReleasingInTightLoopsAreAllServed) {
    constexpr int kChurnHosts = 3;
    constexpr int kActivations = 20;
    const std::string serverExe = QN_SERVER_EXE_NAME;
    // A server of an earlier test may still be in its grace period.
    ASSERT_TRUE(WaitUntilGone(serverExe.c_str())) << "a server from elsewhere is running";
    const std::string activeEvent = "QnChurnHostActive" + std::to_string(GetCurrentProcessId());
    UniqueHandle active(CreateEventA(nullptr, TRUE, FALSE, activeEvent.c_str()));
    ASSERT_TRUE(active);
    std::vector<std::unique_ptr<Host>> hosts;
    for (int number = 0; number < kChurnHosts; ++number) {
        std::string arguments =
            "--churn " + std::to_string(number) + " " + std::to_string(kActivations);
        hosts.push_back(
            std::make_unique<Host>(number == 0 ? arguments + " " + activeEvent : arguments));
        ASSERT_TRUE(hosts.back()->Process());
        if (number == 0) {
            HANDLE firstSignals[2] = {active.get(), hosts[0]->Process()};
            ASSERT_EQ(WaitForMultipleObjects(2, firstSignals, FALSE, kHostGuardMs), WAIT_OBJECT_0)
                << hosts[0]->Output();
        }
    }
    for (const auto& host : hosts) {
        EXPECT_EQ(host->Wait(kHostGuardMs), 0) << host->Output();
    }
    EXPECT_TRUE(WaitUntilGone(serverExe.c_str())) << "the server outlived its last client";
}

}  // namespace
