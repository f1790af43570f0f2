#include "jobs/thread.h"

#include <memory>

#include "jobs/fault_injection.h"
#include "platform/com.h"
#include "text/exceptions.h"

struct Thread::StartBlock {
    Thread* owner;  // null: the object is gone, end at once
};

Thread::Thread() {
    auto block = std::make_unique<StartBlock>(StartBlock{this});
    const std::uintptr_t thread =
        TakeInjectedFault(InjectedFault::ThreadCreation)
            ? 0
            : _beginthreadex(nullptr, 0, &Thread::Entry, block.get(), CREATE_SUSPENDED, nullptr);
    if (thread == 0) {
        throw HResultException(E_FAIL);
    }
    handle_.reset(reinterpret_cast<HANDLE>(thread));
    start_ = block.release();
    references_ = 1;  // the new thread's
}

Thread::~Thread() {
    if (start_ != nullptr) {
        // Never resumed (a later constructor step threw, or Resume failed):
        // the thread still waits for its start and must not reach this object.
        start_->owner = nullptr;
        if (ResumeThread(handle_.get()) != static_cast<DWORD>(-1)) {
            WaitForSingleObject(handle_.get(), INFINITE);
        }
    }
}

void Thread::Abort() {
    state_ = ThreadState::Failed;
    OnAbort();
}

void Thread::OnAbort() {}

void Thread::OnStart() {}

void Thread::OnExit() {
    ThreadState state = state_.load();
    while (state != ThreadState::Failed &&
           !state_.compare_exchange_weak(state, ThreadState::Finished)) {
    }
}

LONG Thread::AddRef() {
    return InterlockedIncrement(&references_);
}

LONG Thread::Release() {
    const LONG count = InterlockedDecrement(&references_);
    if (count == 0) {
        delete this;
    }
    return count;
}

bool Thread::Resume() {
    StartBlock* const block = start_;
    start_ = nullptr;  // from here on the thread owns the block
    if (ResumeThread(handle_.get()) == static_cast<DWORD>(-1)) {
        start_ = block;
        Release();
        return false;
    }
    return true;
}

unsigned WINAPI Thread::Entry(void* argument) {
    auto* block = static_cast<StartBlock*>(argument);
    Thread* const self = block->owner;
    delete block;
    if (self != nullptr) {
        self->Main();
    }
    _endthreadex(0);
    return 0;
}

void Thread::Main() {
    try {
        OnStart();
        ThreadState created = ThreadState::Created;
        state_.compare_exchange_strong(created, ThreadState::Running);
        Run();
    } catch (...) {
        state_ = ThreadState::Failed;
    }
    try {
        OnExit();
    } catch (...) {
        state_ = ThreadState::Failed;
    }
    Release();  // may destroy the object: nothing touches it afterwards
}
