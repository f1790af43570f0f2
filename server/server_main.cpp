#include "server/server_main.h"

#include <cstdio>
#include <new>

#include "config/registry.h"
#include "platform/com.h"
#include "platform/process.h"
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

void ServeUntilReleased() {
    // Failures are not reported: the loop then simply serves no one.
    Module().RegisterClassObjects();
    try {
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0)) {
            DispatchMessageA(&message);
        }
    } catch (...) {
        // An exception out of a dispatched message ends the loop.
    }
    Module().RevokeClassObjects();
}

}  // namespace

int RunConfigure() {
    try {
        Configure();
        return 0;
    } catch (const RegistryKeyMissing& missing) {
        std::fprintf(stderr,
                     "Configure: cannot open HKEY_LOCAL_MACHINE\\%s for writing "
                     "(administrator rights are needed)\n",
                     missing.Message().c_str());
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
        case Command::UnregServer:
            exitCode = UnregisterServer();
            break;
        case Command::RegServer: {
            exitCode = RegisterServer();
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
            ServeUntilReleased();
            break;
    }
    CoUninitialize();
    return exitCode;
}

}  // namespace server
