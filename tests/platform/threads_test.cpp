// These tests hold for the Windows calls as much as for the native stand-ins:
// they pin down the behaviour the job framework relies on.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/com.h"
#include "platform/threads.h"
#include "platform/unique_handle.h"

namespace {

// Hang guard for waits that must succeed; never reached when things work.
constexpr DWORD kGuardMs = 30000;

UniqueHandle NewEvent(bool manualReset, bool signalled = false) {
    return UniqueHandle(
        CreateEventA(nullptr, manualReset ? TRUE : FALSE, signalled ? TRUE : FALSE, nullptr));
}

// Makes sure the calling thread has a message queue and that nothing in it
// counts as new input.
void TouchQueue() {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

void DrainQueue() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace

TEST(Events, AutoResetIsConsumedByOneWaitManualResetStays) {
    struct Case {
        bool manualReset;
        DWORD secondWait;
    };
    for (const Case c : {Case{false, WAIT_TIMEOUT}, Case{true, WAIT_OBJECT_0}}) {
        SCOPED_TRACE(c.manualReset ? "manual reset" : "auto reset");
        UniqueHandle event = NewEvent(c.manualReset);
        ASSERT_TRUE(event);
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_TIMEOUT);
        ASSERT_TRUE(SetEvent(event.get()));
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), c.secondWait);
        ASSERT_TRUE(ResetEvent(event.get()));
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_TIMEOUT);
    }
}

TEST(Events, WaitForAnyReportsTheLowestSignalledIndexWaitAllNeedsAll) {
    UniqueHandle first = NewEvent(true);
    UniqueHandle second = NewEvent(true, true);
    UniqueHandle third = NewEvent(true, true);
    const HANDLE handles[] = {first.get(), second.get(), third.get()};
    EXPECT_EQ(WaitForMultipleObjectsEx(3, handles, FALSE, 0, TRUE), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjectsEx(3, handles, TRUE, 0, FALSE), WAIT_TIMEOUT);
    SetEvent(first.get());
    EXPECT_EQ(WaitForMultipleObjectsEx(3, handles, TRUE, 0, FALSE), WAIT_OBJECT_0);
}

TEST(Events, WaitOnAnInvalidHandleFailsInsteadOfBlocking) {
    UniqueHandle event = NewEvent(false);
    const HANDLE stale = event.get();
    event.reset();
    // Checked at once: a handle value may be given out again by the next creation.
    EXPECT_FALSE(CloseHandle(stale));
    EXPECT_EQ(WaitForSingleObject(stale, kGuardMs), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    const HANDLE none = nullptr;
    EXPECT_EQ(WaitForSingleObject(none, kGuardMs), WAIT_FAILED);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &none, kGuardMs, QS_ALLINPUT, 0), WAIT_FAILED);
}

namespace {

struct StartRecord {
    std::atomic<int> gate{0};
    int seenGate = -1;
    bool ranPastEnd = false;
};

unsigned WINAPI RecordAndEnd(void* argument) {
    auto* record = static_cast<StartRecord*>(argument);
    record->seenGate = record->gate.load();
    _endthreadex(7);
    record->ranPastEnd = true;  // never reached
    return 0;
}

}  // namespace

TEST(Threads, SuspendedThreadRunsAfterResumeAndItsHandleIsSignalledWhenItEnds) {
    StartRecord record;
    unsigned threadId = 0;
    UniqueHandle thread(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, &RecordAndEnd, &record, CREATE_SUSPENDED, &threadId)));
    ASSERT_TRUE(thread);
    EXPECT_NE(threadId, 0u);
    // Written after creation: a thread that ran before ResumeThread would not see it.
    record.gate = 1;
    EXPECT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_TIMEOUT);
    EXPECT_EQ(ResumeThread(thread.get()), 1u);
    ASSERT_EQ(WaitForSingleObject(thread.get(), kGuardMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_OBJECT_0);  // stays signalled
    EXPECT_EQ(record.seenGate, 1);
    EXPECT_FALSE(record.ranPastEnd);
}

TEST(Threads, ResumeThreadOnAnEventFails) {
    UniqueHandle event = NewEvent(false);
    EXPECT_EQ(ResumeThread(event.get()), static_cast<DWORD>(-1));
}

namespace {

struct QueueUser {
    UniqueHandle ready = NewEvent(true);
    UINT received = 0;
    int getResult = -2;
};

unsigned WINAPI ReceiveOneThenQuit(void* argument) {
    auto* user = static_cast<QueueUser*>(argument);
    TouchQueue();
    SetEvent(user->ready.get());
    MSG message;
    if (GetMessageA(&message, nullptr, 0, 0) > 0) {
        user->received = message.message;
    }
    user->getResult = GetMessageA(&message, nullptr, 0, 0);
    return 0;
}

}  // namespace

TEST(MessageQueues, PostingNeedsTheTargetsQueueAndGetMessageEndsOnQuit) {
    QueueUser user;
    unsigned threadId = 0;
    UniqueHandle thread(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, &ReceiveOneThenQuit, &user, CREATE_SUSPENDED, &threadId)));
    ASSERT_TRUE(thread);
    EXPECT_FALSE(PostThreadMessageA(threadId, WM_APP, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);

    ResumeThread(thread.get());
    ASSERT_EQ(WaitForSingleObject(user.ready.get(), kGuardMs), WAIT_OBJECT_0);
    EXPECT_TRUE(PostThreadMessageA(threadId, WM_APP + 5, 1, 2));
    EXPECT_TRUE(PostThreadMessageA(threadId, WM_QUIT, 0, 0));
    ASSERT_EQ(WaitForSingleObject(thread.get(), kGuardMs), WAIT_OBJECT_0);
    EXPECT_EQ(user.received, WM_APP + 5);
    EXPECT_EQ(user.getResult, 0);
}

TEST(MessageQueues, PeekTakesMessagesInOrderWithinTheFilter) {
    TouchQueue();
    DrainQueue();
    const DWORD self = GetCurrentThreadId();
    ASSERT_TRUE(PostThreadMessageA(self, WM_APP + 1, 10, 0));
    ASSERT_TRUE(PostThreadMessageA(self, WM_USER + 1, 20, 0));
    ASSERT_TRUE(PostThreadMessageA(self, WM_APP + 2, 30, 0));

    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(message.message, WM_APP + 1u);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_USER, WM_USER + 10, PM_REMOVE));
    EXPECT_EQ(message.wParam, 20u);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.wParam, 10u);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.wParam, 30u);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

// The message-aware wait reports input only while it is new: once the thread
// has looked at its queue, waiting messages no longer wake it (unless asked
// with MWMO_INPUTAVAILABLE). Handles come before input.
TEST(MessageQueues, MsgWaitReportsOnlyNewInputAndHandlesFirst) {
    TouchQueue();
    DrainQueue();
    const DWORD self = GetCurrentThreadId();
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0), WAIT_TIMEOUT);

    ASSERT_TRUE(PostThreadMessageA(self, WM_APP, 0, 0));
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_KEY, 0), WAIT_TIMEOUT);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0), WAIT_OBJECT_0);

    UniqueHandle event = NewEvent(false, true);
    const HANDLE handle = event.get();
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &handle, 0, QS_ALLINPUT, 0), WAIT_OBJECT_0);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &handle, 0, QS_ALLINPUT, 0), WAIT_OBJECT_0 + 1);

    TouchQueue();  // the message is still there, but no longer new
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &handle, 0, QS_ALLINPUT, 0), WAIT_TIMEOUT);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &handle, 0, QS_ALLINPUT, MWMO_INPUTAVAILABLE),
              WAIT_OBJECT_0 + 1);
    DrainQueue();
}

TEST(MessageQueues, MsgWaitWakesWhenAnotherThreadPosts) {
    TouchQueue();
    DrainQueue();
    const DWORD self = GetCurrentThreadId();
    std::thread poster([self] { PostThreadMessageA(self, WM_APP + 9, 0, 0); });
    UniqueHandle never = NewEvent(true);
    const HANDLE handle = never.get();
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &handle, kGuardMs, QS_ALLINPUT, 0), WAIT_OBJECT_0 + 1);
    poster.join();
    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_APP + 9u);
}

TEST(Apartments, CallsNestAndTheModeCannotChangeWhileJoined) {
    HRESULT results[5] = {};
    std::thread([&results] {
        results[0] = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        results[1] = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        results[2] = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        CoUninitialize();
        CoUninitialize();
        results[3] = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        results[4] = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoUninitialize();
    }).join();
    EXPECT_EQ(results[0], S_OK);
    EXPECT_EQ(results[1], S_FALSE);
    EXPECT_EQ(results[2], RPC_E_CHANGED_MODE);
    EXPECT_EQ(results[3], S_OK);
    EXPECT_EQ(results[4], RPC_E_CHANGED_MODE);
}

TEST(UniqueHandle, ClosesOnceWhenResetOrDestroyed) {
    UniqueHandle owner = NewEvent(false);
    const HANDLE raw = owner.get();
    UniqueHandle moved(std::move(owner));
    EXPECT_FALSE(owner);
    EXPECT_EQ(moved.get(), raw);
    moved.reset();
    EXPECT_FALSE(CloseHandle(raw));  // already closed by the owner

    HANDLE released = nullptr;
    {
        UniqueHandle keeper = NewEvent(false);
        released = keeper.release();
    }
    EXPECT_TRUE(CloseHandle(released));  // release() left it open

    // Where failure is INVALID_HANDLE_VALUE, a failed call owns nothing.
    EXPECT_FALSE(UniqueFileHandle(INVALID_HANDLE_VALUE));
}
