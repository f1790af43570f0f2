// The server module: the process-wide count of engine objects and server
// locks that keeps the server alive, the class object it publishes, and the
// decision to end once the count has stayed at 0 for a while.
#pragma once

#include <chrono>
#include <mutex>

#include "platform/com.h"
#include "platform/com_server.h"
#include "server/server_lifetime.h"

namespace server {

class CExeModule {
  public:
    explicit CExeModule(std::chrono::milliseconds shutdownDelay = kShutdownDelay,
                        std::chrono::milliseconds unusedLifetime = kUnusedLifetime)
        : shutdownDelay_(shutdownDelay), unusedLifetime_(unusedLifetime) {}

    // Remembers the thread that runs the serve loop (the Unlock that reaches
    // 0 wakes it) and starts the clock of an unused server.
    void Init(DWORD mainThreadId);

    // Lock fails once the server is stopping: the caller then refuses with
    // CO_E_SERVER_STOPPING. Unlock returns the new count, which never goes
    // below 0.
    bool Lock();
    LONG Unlock();
    LONG LockCount() const;

    // The class factory's LockServer: a lock like an engine's, also counted
    // apart, so that an unlock without a lock of its own is refused (false)
    // instead of dropping the hold of a live engine.
    bool LockServer();
    bool UnlockServer();

    // How long the serve loop may wait before TryStop: INFINITE while the
    // count is above 0, 0 once the count has been 0 for the delay.
    DWORD MillisecondsUntilIdle() const;

    // With the count at 0 for the delay: suspends the class objects, looks at
    // the count again and either marks the server stopping (true; every
    // later Lock fails) or resumes the class objects (false).
    bool TryStop();

    // Publishes the class factory of TranslationEngine as a multi-use local
    // server, and withdraws it.
    HRESULT RegisterClassObjects();
    HRESULT RevokeClassObjects();

  private:
    using Clock = std::chrono::steady_clock;
    DWORD UntilIdleLocked(Clock::time_point now) const;

    const std::chrono::milliseconds shutdownDelay_;
    const std::chrono::milliseconds unusedLifetime_;
    mutable std::mutex mutex_;  // guards the count, the clock and the flags
    LONG lockCount_ = 0;
    LONG serverLocks_ = 0;  // the part of lockCount_ that LockServer took
    bool used_ = false;
    bool stopping_ = false;
    Clock::time_point idleSince_ = Clock::now();
    DWORD mainThreadId_ = 0;
    DWORD classCookie_ = 0;
    bool classRegistered_ = false;
};

// One per process.
CExeModule& Module();

}  // namespace server
