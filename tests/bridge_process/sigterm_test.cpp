// The native bridge as systemd runs it: SIGTERM with a request in flight lets
// the request finish, ends the process with exit code 0 and frees the port.
#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/sockets.h"
#include "tests/bridge/bridge_test_support.h"
#include "tests/bridge/support/stand_in_server.h"
#include "tests/bridge_process/process_test_support.h"

namespace {

using namespace process_test;

// qn-bridge started with `args`, its stderr in a file; killed if a test
// leaves it running.
class BridgeProcess {
  public:
    BridgeProcess(const std::vector<std::string>& args, const std::string& stderrPath) {
        const std::string exe = BridgeExe();
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int quiet = open("/dev/null", O_RDWR);
            const int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(quiet, 0);
            dup2(quiet, 1);
            dup2(err, 2);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
    }
    ~BridgeProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    BridgeProcess(const BridgeProcess&) = delete;
    BridgeProcess& operator=(const BridgeProcess&) = delete;

    void Signal(int signal) const { kill(pid_, signal); }

    // The exit code; nothing when a signal ended it or it is still running
    // after the guard.
    std::optional<int> Wait() {
        const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid_ = -1;
        return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
    }

  private:
    pid_t pid_ = -1;
};

TEST(BridgeProcess, SigtermLetsTheRequestInFlightFinishThenEndsAndFreesThePort) {
    // An upstream that holds its answer until the test lets it go.
    std::mutex mutex;
    std::condition_variable changed;
    bool received = false;
    bool release = false;
    bridge_test::StandInServer upstream([&](const bridge_test::StandInRequest&) {
        std::unique_lock<std::mutex> lock(mutex);
        received = true;
        changed.notify_all();
        changed.wait_for(lock, kHangGuard, [&] { return release; });
        return bridge_test::StandInAnswer{200, R"({"translatedText": "Hello world"})"};
    });
    const std::string config = ScratchFile("qn-bridge-sigterm.json", Config(upstream.Url()));
    const std::string log = ScratchFile("qn-bridge-sigterm.log");
    const std::string stderrPath = ScratchFile("qn-bridge-sigterm.err");
    BridgeProcess bridge({"--config", config, "--log-file", log}, stderrPath);
    const std::uint16_t port = ListeningPort(WaitForLog(log, "listening on"));
    ASSERT_NE(port, 0) << ReadAll(log) << ReadAll(stderrPath);

    std::string answer;
    std::thread client([&] {
        answer = serve_test::Exchange(
            port, serve_test::EnginePost("/fcgiDispatch.de?cmd0=a", "Hallo Welt"));
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, kHangGuard, [&] { return received; });
    }
    bridge.Signal(SIGTERM);
    EXPECT_NE(WaitForLog(log, "stopping:").find("stopping:"), std::string::npos);
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    changed.notify_all();
    client.join();

    EXPECT_EQ(serve_test::StatusLine(answer), "HTTP/1.0 200 OK") << answer;
    EXPECT_EQ(serve_test::Body(answer), "Hello world");
    EXPECT_EQ(bridge.Wait(), std::optional<int>(0)) << ReadAll(log);
    EXPECT_NE(ReadAll(log).find(" stopped\n"), std::string::npos) << ReadAll(log);
    const net::Socket probe = net::CreateTcpSocket();
    EXPECT_TRUE(net::BindLoopback(probe, port)) << "port " << port << " is still held";
}

TEST(BridgeProcess, RefusesWhatOnlyTheServiceManagerGives) {
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--service"}, "qn-bridge: --service is for the Windows Service Control Manager"},
        {{"--port", "1", "--service"}, "qn-bridge: --service must come first"},
    };
    for (const auto& c : cases) {
        const std::string stderrPath = ScratchFile("qn-bridge-refusal.err");
        BridgeProcess bridge(c.args, stderrPath);
        EXPECT_EQ(bridge.Wait(), std::optional<int>(2)) << c.args.back();
        EXPECT_EQ(ReadAll(stderrPath).substr(0, c.message.size()), c.message);
    }
}

}  // namespace
#endif
