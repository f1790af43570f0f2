#include "jobs/message_wait.h"

bool WaitDispatchingMessages(const HANDLE* handles, DWORD count, DWORD timeout) {
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjectsEx(count, handles, timeout, QS_ALLINPUT, 0);
        if (result - WAIT_OBJECT_0 < count || result - WAIT_ABANDONED_0 < count) {
            return true;
        }
        if (result == WAIT_OBJECT_0 + count) {
            MSG message;
            if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&message);
            }
        } else if (result != WAIT_TIMEOUT) {
            return false;
        }
    }
}
