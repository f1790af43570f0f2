#include "server/server_main.h"

#include <cstdio>
#include <exception>
#include <string>

#include "config/registry.h"
#include "platform/com.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/threads.h"
#include "server/command_line.h"
#include "server/configure.h"
#include "server/exe_module.h"
#include "server/registration.h"
#include "text/exceptions.h"

namespace server {
namespace {

// "The configuration registry key could not be written."
constexpr HRESULT kConfigureWriteFailed = HRESULT_FROM_WIN32(1013);

// An installation command that failed says what and where on stderr.
HRESULT Report(const char* command, HRESULT result, const std::string& where) {
    if (SUCCEEDED(result)) {
        return result;
    }
    // Machine-wide class registrations live under HKEY_LOCAL_MACHINE: say so,
    // since that is where the missing rights are.
    const bool classes = where.rfind("HKEY_CLASSES_ROOT", 0) == 0;
    std::fprintf(stderr, "%s failed (0x%08X)%s%s%s\n", command, static_cast<unsigned>(result),
                 where.empty() ? "" : ": cannot change ", where.c_str(),
                 classes ? " (stored under HKEY_LOCAL_MACHINE\\Software\\Classes)" : "");
    const std::string problem = RegistryStoreProblem();
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: registry store: %s\n", command, problem.c_str());
    }
    return result;
}

// The exception being handled as a line on stderr and the exit code
// HResultFromCaughtException gives it: no command ends the process with an
// exception. Call it only from inside a catch block.
HRESULT ReportCaught(const char* command) noexcept {
    const HRESULT hr = HResultFromCaughtException();
    const unsigned code = static_cast<unsigned>(hr);
    try {
        try {
            throw;
        } catch (const QuillonException& error) {
            std::fprintf(stderr, "%s failed (0x%08X): %s\n", command, code,
                         error.Message().c_str());
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s failed (0x%08X): %s\n", command, code, error.what());
        }
    } catch (...) {
        // Unknown, or no memory left to describe it: the code alone.
        std::fprintf(stderr, "%s failed (0x%08X)\n", command, code);
    }
    return hr;
}

const char* CommandName(Command command) {
    switch (command) {
        case Command::UnregServer:
            return "UnregServer";
        case Command::RegServer:
            return "RegServer";
        case Command::Configure:
            return "Configure";
        case Command::Serve:
            break;
    }
    return "Serving";
}

// Serves until the module has stayed unlocked for its delay; returns the
// failure of publishing the class object or of the loop itself. A WM_QUIT
// ends nothing: only the lock count decides when the server ends.
HRESULT ServeUntilIdle() {
    // The thread's message queue exists before anything can post to it.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    const HRESULT hr = Module().RegisterClassObjects();
    if (FAILED(hr)) {
        std::fprintf(stderr, "cannot publish the class object (0x%08X)\n",
                     static_cast<unsigned>(hr));
        return hr;
    }
    HRESULT result = S_OK;
    try {
        for (;;) {
            const DWORD wait = Module().MillisecondsUntilIdle();
            if (wait == 0) {
                if (Module().TryStop()) {
                    break;
                }
                continue;
            }
            MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLPOSTMESSAGE, MWMO_INPUTAVAILABLE);
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&message);
            }
        }
    } catch (...) {
        // An exception out of a dispatched message ends the server, which
        // says so.
        result = ReportCaught("Serving");
    }
    Module().RevokeClassObjects();
    return result;
}

}  // namespace

int RunConfigure() {
    try {
        Configure();
        // A store that cannot be read makes every engine look absent: say so
        // instead of reporting an empty walk as success.
        const std::string problem = RegistryStoreProblem();
        if (!problem.empty()) {
            std::fprintf(stderr, "Configure: registry store: %s\n", problem.c_str());
            return kConfigureWriteFailed;
        }
        return 0;
    } catch (const RegistryKeyMissing& missing) {
        std::fprintf(stderr,
                     "Configure: cannot open HKEY_LOCAL_MACHINE\\%s for writing "
                     "(administrator rights are needed)\n",
                     missing.Message().c_str());
        const std::string problem = RegistryStoreProblem();
        if (!problem.empty()) {
            std::fprintf(stderr, "Configure: registry store: %s\n", problem.c_str());
        }
        return kConfigureWriteFailed;
    } catch (...) {
        return ReportCaught("Configure");
    }
}

int RunServer() {
    const char* commandLine = GetCommandLineA();
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Module().Init(GetCurrentThreadId());

    HRESULT exitCode = S_OK;
    const Command command = ScanCommandLine(commandLine);
    try {
        switch (command) {
            case Command::UnregServer: {
                std::string where;
                exitCode = Report("UnregServer", UnregisterServer(&where), where);
                break;
            }
            case Command::RegServer: {
                std::string where;
                exitCode = Report("RegServer", RegisterServer(&where), where);
                // Configure runs whatever the registration returned; its own
                // failure shows in the exit code only when registration
                // succeeded.
                const int configured = RunConfigure();
                if (SUCCEEDED(exitCode) && configured != 0) {
                    exitCode = configured;
                }
                break;
            }
            case Command::Configure:
                exitCode = RunConfigure();
                break;
            case Command::Serve:
                exitCode = ServeUntilIdle();
                break;
        }
    } catch (...) {
        exitCode = ReportCaught(CommandName(command));
    }
    CoUninitialize();
    return exitCode;
}

}  // namespace server
