// OLECallThread: a Thread that is a member of the multithreaded apartment and
// signals a done event when it ends, which its creator waits on while it keeps
// dispatching window messages.
#pragma once

#include "jobs/thread.h"
#include "platform/threads.h"
#include "platform/unique_handle.h"

class OLECallThread : public Thread {
  public:
    // `timeout` bounds each single wait of WaitForCompletion (INFINITE for
    // jobs). Throws SystemErrorException("CreateEvent") when the done event
    // cannot be created, so no job ever lacks it.
    explicit OLECallThread(DWORD timeout);
    ~OLECallThread() override;

    void OnStart() override;
    void OnExit() override;

    // The creator's wait: returns true once the job has signalled its end or
    // its thread has ended, dispatching window messages meanwhile. Should the
    // message-aware wait fail, it waits for the thread to end instead; false
    // only when that is impossible too.
    bool WaitForCompletion();

  private:
    UniqueHandle done_;
    DWORD timeout_;
    bool joinedApartment_ = false;
};
