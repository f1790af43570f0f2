// How long a test waits for a server process to end by itself.
#pragma once

#include <algorithm>
#include <chrono>

#include "server/server_lifetime.h"

// Longer than a server started with this process's environment stays once
// nothing holds it (an unused one the longest), with room for Wine to start
// and end the process on a loaded machine. A hang guard: a wait ends as soon
// as the server is gone.
inline std::chrono::milliseconds ServerEndGuard() {
    const server::ServerLifetimes lifetimes = server::EffectiveServerLifetimes();
    return std::max(lifetimes.shutdownDelay, lifetimes.unusedLifetime) + std::chrono::seconds(30);
}
