#include "jobs/ole_call_thread.h"

#include "jobs/fault_injection.h"
#include "jobs/message_wait.h"
#include "platform/com.h"
#include "text/exceptions.h"

OLECallThread::OLECallThread(DWORD timeout) : timeout_(timeout) {
    HANDLE done = nullptr;
    if (TakeInjectedFault(InjectedFault::EventCreation)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } else {
        done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    if (done == nullptr) {
        throw SystemErrorException("CreateEvent", GetLastError());
    }
    done_.reset(done);
}

OLECallThread::~OLECallThread() = default;

void OLECallThread::OnStart() {
    joinedApartment_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    Thread::OnStart();
}

void OLECallThread::OnExit() {
    if (joinedApartment_) {
        CoUninitialize();
        joinedApartment_ = false;
    }
    SetEvent(done_.get());
    Thread::OnExit();
}

bool OLECallThread::WaitForCompletion() {
    // The thread handle is waited on too: it is signalled when the worker has
    // ended, whether or not the done event was ever set.
    const HANDLE handles[] = {done_.get(), Handle()};
    if (WaitDispatchingMessages(handles, 2, timeout_)) {
        return true;
    }
    return WaitForSingleObject(Handle(), INFINITE) == WAIT_OBJECT_0;
}
