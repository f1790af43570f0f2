#include "bridge/service.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <sstream>

#include "bridge/config.h"

namespace bridge {
namespace {

// How long the Service Control Manager waits for the next report while the
// bridge starts, and while it stops (its 5 s grace for requests in flight,
// then its end).
constexpr DWORD kStartWaitHintMs = 10000;
constexpr DWORD kStopWaitHintMs = 10000;

// One service per process, and the manager's callbacks carry no context of
// their own: the state lives here.
struct ServiceState {
    std::vector<std::string> args;
    const TranslatorFactory* makeTranslator = nullptr;
    std::atomic<bool> stop{false};
    int exitCode = kExitOk;
    std::mutex mutex;  // the status below, reported from the bridge's and the manager's threads
    SERVICE_STATUS_HANDLE handle = nullptr;  // the manager's; never closed
    SERVICE_STATUS status{};
};
ServiceState g_service;

void Report(DWORD state, int exitCode = kExitOk) {
    std::lock_guard<std::mutex> lock(g_service.mutex);
    SERVICE_STATUS& status = g_service.status;
    if (status.dwCurrentState == SERVICE_STOPPED) {
        return;  // the manager hears nothing after the end
    }
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING
            ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN
            : 0;
    // The bridge's own exit code, for `sc query` and the system's event log.
    status.dwWin32ExitCode = exitCode == kExitOk ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = static_cast<DWORD>(exitCode);
    status.dwCheckPoint = pending ? status.dwCheckPoint + 1 : 0;
    status.dwWaitHint = state == SERVICE_START_PENDING
                            ? kStartWaitHintMs
                            : (state == SERVICE_STOP_PENDING ? kStopWaitHintMs : 0);
    SetServiceStatus(g_service.handle, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, LPVOID, LPVOID) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
        case SERVICE_CONTROL_PRESHUTDOWN:
            Report(SERVICE_STOP_PENDING);
            g_service.stop = true;
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
    // The name the service was installed under comes first.
    g_service.handle =
        RegisterServiceCtrlHandlerExA(argc > 0 ? argv[0] : kServiceName, OnControl, nullptr);
    if (g_service.handle == nullptr) {
        g_service.exitCode = kExitCannotServe;
        return;
    }
    Report(SERVICE_START_PENDING);
    RunHost host;
    host.defaultLogFile = ServiceLogPath();
    host.serving = [] { Report(SERVICE_RUNNING); };
    host.abandoning = [](int exitCode) { Report(SERVICE_STOPPED, exitCode); };
    // No console: every message that matters is in the log file as well.
    std::ostringstream out;
    std::ostringstream err;
    g_service.exitCode =
        RunBridge(g_service.args, out, err, *g_service.makeTranslator, g_service.stop, host);
    Report(SERVICE_STOPPED, g_service.exitCode);
}

}  // namespace

int RunService(const std::vector<std::string>& args, const TranslatorFactory& makeTranslator,
               std::ostream& err) {
    g_service.args = args;
    g_service.makeTranslator = &makeTranslator;
    std::string name = kServiceName;  // the table takes a writable name
    SERVICE_TABLE_ENTRYA table[] = {{name.data(), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
            err << "qn-bridge: --service is given by the Service Control Manager when it starts "
                   "the service; from a prompt run qn-bridge without it\n";
            return kExitBadConfig;
        }
        err << "qn-bridge: the Service Control Manager cannot be reached (error " << error << ")\n";
        return kExitCannotServe;
    }
    return g_service.exitCode;
}

}  // namespace bridge
