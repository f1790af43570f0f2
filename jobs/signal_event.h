// SignalEvent: an owned auto-reset event that one thread waits on and another
// signals through its raw handle.
#pragma once

#include "platform/threads.h"
#include "platform/unique_handle.h"

class SignalEvent {
  public:
    // Non-signalled. Throws SystemErrorException("CreateEvent") on failure.
    SignalEvent();

    HANDLE Handle() const { return event_.get(); }

    // Waits alertably until signalled or timed out and returns WAIT_OBJECT_0,
    // WAIT_ABANDONED_0 or WAIT_TIMEOUT; an I/O completion routine only starts
    // the next wait. WAIT_FAILED when the wait cannot be done (for instance
    // after Close) rather than trying again for ever.
    DWORD Wait(DWORD timeout);

    void Close() { event_.reset(); }

  private:
    UniqueHandle event_;
};
