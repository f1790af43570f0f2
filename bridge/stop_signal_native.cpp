#include "bridge/stop_signal.h"

#include <csignal>

namespace bridge {
namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnStopSignal(int) {
    g_stop = true;  // lock-free, so safe in a signal handler
}

}  // namespace

const std::atomic<bool>& InstallStopHandlers() {
    static_assert(std::atomic<bool>::is_always_lock_free);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return g_stop;
}

}  // namespace bridge
