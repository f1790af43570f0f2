// How long the server stays once nothing holds it, and the one override of
// those times the tests use.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace server {

// The count must stay at 0 this long before the server ends: a short grace
// after the last release, since a client between two activations or one
// holding the class factory comes back within it; and longer for a server
// that no client has used since it started.
inline constexpr std::chrono::milliseconds kShutdownDelay{2000};
inline constexpr std::chrono::milliseconds kUnusedLifetime{60000};

// For tests only, never a user setting: a number of milliseconds from 1 to
// kUnusedLifetime replaces the unused server's lifetime and caps the
// shutdown delay, so that a suite need not wait out a minute. Anything else
// is ignored. A server started by COM inherits it from the process that
// activates it.
inline constexpr char kTestLifetimeVariable[] = "QN_TEST_SERVER_LIFETIME_MS";

struct ServerLifetimes {
    std::chrono::milliseconds shutdownDelay = kShutdownDelay;
    std::chrono::milliseconds unusedLifetime = kUnusedLifetime;
};

// The lifetimes of a server started with this process's environment; the
// tests size their waits from it.
inline ServerLifetimes EffectiveServerLifetimes() {
    ServerLifetimes lifetimes;
    const char* text = std::getenv(kTestLifetimeVariable);
    if (text == nullptr || *text == '\0' || std::strspn(text, "0123456789") != std::strlen(text) ||
        std::strlen(text) > 9) {
        return lifetimes;
    }
    const std::chrono::milliseconds value{std::strtol(text, nullptr, 10)};
    if (value.count() < 1 || value > kUnusedLifetime) {
        return lifetimes;
    }
    lifetimes.unusedLifetime = value;
    lifetimes.shutdownDelay = std::min(kShutdownDelay, value);
    return lifetimes;
}

}  // namespace server
