#include "bridge/stop_signal.h"

#include <windows.h>

namespace bridge {
namespace {

std::atomic<bool> g_stop{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            g_stop = true;
            // For a close or shutdown the system ends the process once this
            // returns: give the main thread a moment to finish first.
            if (event == CTRL_CLOSE_EVENT || event == CTRL_SHUTDOWN_EVENT) {
                Sleep(4000);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

const std::atomic<bool>& InstallStopHandlers() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    return g_stop;
}

}  // namespace bridge
