// Process entry of the engine server.
#include "server/server_main.h"

#ifdef _WIN32
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return server::RunServer();
}
#else
#include <cstdio>

#include "platform/process.h"
#include "server/command_line.h"

// Natively nothing can activate the server out of process, so only the
// installation commands (against the native registry store) are offered.
int main() {
    if (server::ScanCommandLine(GetCommandLineA()) == server::Command::Serve) {
        std::fputs(
            "usage: vorla-hybrid-engine /RegServer | /UnregServer | /Configure\n"
            "(the native build serves engines in process only)\n",
            stderr);
        return 2;
    }
    // A POSIX exit status keeps 8 bits: never let a failure read as success.
    const int code = server::RunServer();
    return code != 0 && (code & 0xFF) == 0 ? 1 : code;
}
#endif
