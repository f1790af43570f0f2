#include "jobs/signal_event.h"

#include "jobs/fault_injection.h"
#include "text/exceptions.h"

SignalEvent::SignalEvent() {
    HANDLE event = nullptr;
    if (TakeInjectedFault(InjectedFault::EventCreation)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } else {
        event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    if (event == nullptr) {
        throw SystemErrorException("CreateEvent", GetLastError());
    }
    event_.reset(event);
    ResetEvent(event);
}

DWORD SignalEvent::Wait(DWORD timeout) {
    const HANDLE event = event_.get();
    for (;;) {
        const DWORD result = WaitForMultipleObjectsEx(1, &event, FALSE, timeout, TRUE);
        if (result != WAIT_IO_COMPLETION) {
            return result;
        }
    }
}
