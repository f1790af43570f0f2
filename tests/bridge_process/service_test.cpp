// qn-bridge as a Windows service, started and stopped through the Service
// Control Manager: it reports running once it listens and stopped with exit
// code 0 after a stop; a configuration it rejects or a port it cannot take
// ends it stopped with the bridge's exit code as the service's own code and
// the reason in its log file.
#ifdef _WIN32
#include <windows.h>

#include "platform/sockets.h"
#include "platform/unique_handle.h"
#include "platform/unique_sc_handle.h"
#include "tests/bridge/bridge_test_support.h"
#include "tests/bridge/support/stand_in_server.h"
#include "tests/bridge_process/process_test_support.h"

namespace {

using namespace process_test;

// Not the installed service's name: a test never touches a real install.
constexpr const char* kTestService = "QnBridgeTest";

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The service's status once it has left `pending`, or as it is when the
// guard runs out.
SERVICE_STATUS_PROCESS WaitBeyond(SC_HANDLE service, DWORD pending) {
    const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    for (;;) {
        const BOOL read =
            QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                 sizeof status, &needed);
        EXPECT_TRUE(read) << GetLastError();
        if (!read || status.dwCurrentState != pending ||
            std::chrono::steady_clock::now() > deadline) {
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The test's service, created for one case and deleted after it.
class TestService {
  public:
    explicit TestService(const std::string& commandLine) {
        manager_.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        EXPECT_TRUE(manager_) << "OpenSCManager: " << GetLastError();
        // One left behind by a test that died is removed first.
        UniqueScHandle old(OpenServiceA(manager_.get(), kTestService, SERVICE_ALL_ACCESS));
        if (old) {
            SERVICE_STATUS ignored{};
            ControlService(old.get(), SERVICE_CONTROL_STOP, &ignored);
            WaitBeyond(old.get(), SERVICE_STOP_PENDING);
            DeleteService(old.get());
        }
        service_.reset(CreateServiceA(
            manager_.get(), kTestService, "QN translation bridge (test)", SERVICE_ALL_ACCESS,
            SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
            commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        EXPECT_TRUE(service_) << "CreateService: " << GetLastError();
    }
    ~TestService() {
        if (service_) {
            SERVICE_STATUS ignored{};
            ControlService(service_.get(), SERVICE_CONTROL_STOP, &ignored);
            WaitBeyond(service_.get(), SERVICE_STOP_PENDING);
            DeleteService(service_.get());
        }
    }
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    SC_HANDLE get() const { return service_.get(); }

  private:
    UniqueScHandle manager_;
    UniqueScHandle service_;
};

std::string ServiceCommandLine(const std::string& config, const std::string& log) {
    return Quoted(BridgeExe()) + " --service --config " + Quoted(config) + " --log-file " +
           Quoted(log);
}

TEST(BridgeService, StartsRunsAndStopsThroughTheServiceControlManager) {
    bridge_test::StandInServer upstream([](const bridge_test::StandInRequest&) {
        return bridge_test::StandInAnswer{200, R"({"translatedText": "Hello world"})"};
    });
    const std::string config = ScratchFile("qn-bridge-service.json", Config(upstream.Url()));
    const std::string log = ScratchFile("qn-bridge-service.log");
    TestService service(ServiceCommandLine(config, log));
    ASSERT_TRUE(service.get());

    ASSERT_TRUE(StartServiceA(service.get(), 0, nullptr)) << GetLastError();
    SERVICE_STATUS_PROCESS status = WaitBeyond(service.get(), SERVICE_START_PENDING);
    ASSERT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING)) << ReadAll(log);
    EXPECT_EQ(status.dwServiceType & SERVICE_WIN32_OWN_PROCESS,
              static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_TRUE(status.dwControlsAccepted & SERVICE_ACCEPT_STOP);
    EXPECT_TRUE(status.dwControlsAccepted & SERVICE_ACCEPT_SHUTDOWN);
    const std::uint16_t port = ListeningPort(ReadAll(log));
    ASSERT_NE(port, 0) << ReadAll(log);
    const std::string answer =
        serve_test::Exchange(port, serve_test::EnginePost("/fcgiDispatch.de", "Hallo Welt"));
    EXPECT_EQ(serve_test::Body(answer), "Hello world") << answer;

    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, status.dwProcessId));
    SERVICE_STATUS stopping{};
    ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_STOP, &stopping)) << GetLastError();
    status = WaitBeyond(service.get(), SERVICE_STOP_PENDING);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(NO_ERROR));
    if (process) {
        EXPECT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
    }
    EXPECT_NE(ReadAll(log).find(" stopped"), std::string::npos) << ReadAll(log);
    const net::Socket probe = net::CreateTcpSocket();
    EXPECT_TRUE(net::BindLoopback(probe, port)) << "port " << port << " is still held";
}

TEST(BridgeService, ARunThatCannotServeEndsStoppedWithTheBridgesExitCodeAndItsReason) {
    net::StartSockets();
    const net::Socket held = net::CreateTcpSocket();
    ASSERT_TRUE(net::BindLoopback(held, 0) && net::Listen(held));
    const std::uint16_t heldPort = static_cast<std::uint16_t>(net::LocalPort(held));
    const struct {
        std::string config;
        DWORD exitCode;
        std::string reason;
    } cases[] = {
        {Config("http://127.0.0.1:9", 0, R"("limits": {"max_body_bytes": "big"},)"), 2,
         "/limits/max_body_bytes: must be an integer from 1 to 67108864"},
        {Config("http://127.0.0.1:9", heldPort), 1, "another program holds the port"},
    };
    for (const auto& c : cases) {
        const std::string config = ScratchFile("qn-bridge-service-bad.json", c.config);
        const std::string log = ScratchFile("qn-bridge-service-bad.log");
        TestService service(ServiceCommandLine(config, log));
        ASSERT_TRUE(service.get());
        StartServiceA(service.get(), 0, nullptr);  // may already see the end
        const SERVICE_STATUS_PROCESS status = WaitBeyond(service.get(), SERVICE_START_PENDING);
        EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << c.reason;
        EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
        EXPECT_EQ(status.dwServiceSpecificExitCode, c.exitCode) << c.reason;
        EXPECT_NE(ReadAll(log).find(c.reason), std::string::npos) << ReadAll(log);
    }
}

}  // namespace
#endif
