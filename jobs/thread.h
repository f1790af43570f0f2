// Thread: a reference-counted owner of one OS thread that runs OnStart, Run and
// OnExit once. The new thread holds the first reference; its creator takes its
// own, calls Resume, and whichever releases last destroys the object.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/threads.h"
#include "platform/unique_handle.h"

// How the thread got on; recorded, never acted upon.
enum class ThreadState : std::int32_t {
    Created = 0,
    Running = 1,   // OnStart done, Run under way
    Finished = 2,  // OnExit reached without a failure
    Failed = 3,    // OnStart or Run raised, or Abort was called; never left
};

class Thread {
  public:
    // Creates the OS thread suspended. Throws HResultException(E_FAIL) when no
    // thread can be created.
    Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    virtual ~Thread();
    virtual void Abort();
    virtual void Run() = 0;
    virtual void OnAbort();
    virtual void OnStart();
    virtual void OnExit();

    LONG AddRef();
    // Deletes the object when the count reaches 0; returns the new count.
    LONG Release();

    // Lets the thread run. Call once, after taking the caller's own reference.
    // When the thread cannot be resumed it will never run: its reference is
    // dropped here and false is returned.
    bool Resume();

    ThreadState State() const { return state_.load(); }
    // Signalled once the OS thread has ended.
    HANDLE Handle() const { return handle_.get(); }

  private:
    struct StartBlock;
    static unsigned WINAPI Entry(void* argument);
    void Main();

    UniqueHandle handle_;
    volatile LONG references_ = 0;
    std::atomic<ThreadState> state_{ThreadState::Created};
    // Handed to the OS thread instead of `this`: a thread that is never
    // resumed for this object is let go through it without touching the object.
    StartBlock* start_ = nullptr;
};
