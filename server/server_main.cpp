#include "server/server_main.h"

#include <cstdio>
#include <new>
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

// Why the registry store itself could not be used, when the platform can say.
std::string StoreProblem() {
#ifdef _WIN32
    return {};
#else
    return RegistryStoreProblem();
#endif
}

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
    const std::string problem = StoreProblem();
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: registry store: %s\n", command, problem.c_str());
    }
    return result;
}

// Serves until the module has stayed unlocked for its delay (or a WM_QUIT
// arrives); returns the failure of publishing the class object.
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
    try {
        for (;;) {
            const DWORD wait = Module().MillisecondsUntilIdle();
            if (wait == 0) {
                if (Module().TryStop()) {
                    break;
                }
                continue;
            }
            MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLPOSTMESSAGE,
                                        MWMO_INPUTAVAILABLE);
            bool quit = false;
            while (!quit && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                quit = message.message == WM_QUIT;
                DispatchMessageA(&message);
            }
            if (quit) {
                break;
            }
        }
    } catch (...) {
        // An exception out of a dispatched message ends the loop.
    }
    Module().RevokeClassObjects();
    return S_OK;
}

}  // namespace

int RunConfigure() {
    try {
        Configure();
        // A store that cannot be read makes every engine look absent: say so
        // instead of reporting an empty walk as success.
        const std::string problem = StoreProblem();
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
        const std::string problem = StoreProblem();
        if (!problem.empty()) {
            std::fprintf(stderr, "Configure: registry store: %s\n", problem.c_str());
        }
        return kConfigureWriteFailed;
    } catch (const QuillonException& error) {
        std::fprintf(stderr, "Configure: %s\n", error.Message().c_str());
        return E_FAIL;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Configure: out of memory\n");
        return E_OUTOFMEMORY;
    }
}

int RunServer() {
    const char* commandLine = GetCommandLineA();
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Module().Init(GetCurrentThreadId());

    HRESULT exitCode = S_OK;
    switch (ScanCommandLine(commandLine)) {
        case Command::UnregServer: {
            std::string where;
            exitCode = Report("UnregServer", UnregisterServer(&where), where);
            break;
        }
        case Command::RegServer: {
            std::string where;
            exitCode = Report("RegServer", RegisterServer(&where), where);
            // Configure runs whatever the registration returned; its own
            // failure shows in the exit code only when registration succeeded.
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
    CoUninitialize();
    return exitCode;
}

}  // namespace server
