#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "jobs/message_wait.h"
#include "jobs/ole_call_thread.h"
#include "tests/jobs/job_probes.h"

using namespace jobs_test;

namespace {

// Observes the messages the creating thread dispatches. On Windows they go to
// a message-only window of that thread; natively, where there are no windows,
// to the thread's dispatch hook.
class DispatchRecorder {
  public:
    DispatchRecorder() {
        current_ = this;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists now
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
#ifdef _WIN32
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &WindowProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "QnDispatchRecorder";
        RegisterClassA(&windowClass);  // fails harmlessly when already registered
        window_ = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, windowClass.hInstance, nullptr);
#else
        threadId_ = GetCurrentThreadId();
        SetDispatchHookForThread(&Hook);
#endif
    }
    ~DispatchRecorder() {
#ifdef _WIN32
        DestroyWindow(window_);
#else
        SetDispatchHookForThread(nullptr);
#endif
        current_ = nullptr;
    }

    bool Ready() const {
#ifdef _WIN32
        return window_ != nullptr;
#else
        return true;
#endif
    }

    // Callable from any thread.
    bool Post(UINT message) {
#ifdef _WIN32
        return PostMessageA(window_, message, 0, 0) != FALSE;
#else
        return PostThreadMessageA(threadId_, message, 0, 0) != FALSE;
#endif
    }

    // The next dispatch returns only once `handle` is signalled.
    void HoldNextDispatchUntil(HANDLE handle) {
        hold_ = handle;
    }

    std::vector<UINT> Dispatched() {
        std::lock_guard<std::mutex> lock(mutex_);
        return dispatched_;
    }
    HANDLE DispatchedEvent() const {
        return dispatchedEvent_.get();
    }

  private:
    void Record(UINT message) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            dispatched_.push_back(message);
        }
        SetEvent(dispatchedEvent_.get());
        if (const HANDLE hold = std::exchange(hold_, nullptr)) {
            WaitForSingleObject(hold, kGuardMs);
        }
    }
#ifdef _WIN32
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
        if (message >= WM_APP && current_ != nullptr) {
            current_->Record(message);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
#else
    static void Hook(const MSG& message) {
        current_->Record(message.message);
    }
    DWORD threadId_ = 0;
#endif

    static inline DispatchRecorder* current_ = nullptr;
    HANDLE hold_ = nullptr;  // touched by the recording thread only
    std::mutex mutex_;
    std::vector<UINT> dispatched_;
    UniqueHandle dispatchedEvent_{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
};

// Each round posts a message to the creator and waits until it was dispatched.
class PostingJob final : public OLECallThread {
  public:
    PostingJob(DispatchRecorder& recorder, std::vector<UINT> messages)
        : OLECallThread(INFINITE), recorder_(recorder), messages_(std::move(messages)) {}
    void Run() override {
        for (const UINT message : messages_) {
            if (message != 0) {
                recorder_.Post(message);
            }
            WaitForSingleObject(recorder_.DispatchedEvent(), kGuardMs);
        }
    }

  private:
    DispatchRecorder& recorder_;
    std::vector<UINT> messages_;
};

}  // namespace

TEST(WaitForCompletion, ServesMessagesThatArriveWhileTheJobRuns) {
    DispatchRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    auto* job = new PostingJob(recorder, {WM_APP + 1, WM_APP + 2, WM_APP + 3});
    EXPECT_EQ(RunToEnd(job), ThreadState::Finished);
    EXPECT_EQ(recorder.Dispatched(), (std::vector<UINT>{WM_APP + 1, WM_APP + 2, WM_APP + 3}));
}

// Two messages queued before the wait are one wake-up: one is dispatched, the
// other stays queued. The first dispatch is held until the job's thread has
// ended, so the wait's next round finds the job done (handles come before
// input) and no other input can sneak in a second dispatch.
TEST(WaitForCompletion, DispatchesOneMessagePerWakeUp) {
    DispatchRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    ASSERT_TRUE(recorder.Post(WM_APP + 1));
    ASSERT_TRUE(recorder.Post(WM_APP + 2));
    auto* job = new PostingJob(recorder, {0});  // returns after the first dispatch
    recorder.HoldNextDispatchUntil(job->Handle());
    EXPECT_EQ(RunToEnd(job), ThreadState::Finished);
    EXPECT_EQ(recorder.Dispatched(), std::vector<UINT>{WM_APP + 1});

    MSG left{};
    ASSERT_TRUE(PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(left.message, WM_APP + 2u);
}

TEST(WaitDispatchingMessages, AFailingWaitReturnsInsteadOfSpinning) {
    UniqueHandle valid = ManualEvent();
    const HANDLE withNull[] = {valid.get(), nullptr};
    EXPECT_FALSE(WaitDispatchingMessages(withNull, 2, INFINITE));
    EXPECT_FALSE(WaitDispatchingMessages(withNull + 1, 1, 10));
}

TEST(WaitDispatchingMessages, ShortTimeoutsOnlyStartTheNextWait) {
    UniqueHandle never = ManualEvent();
    UniqueHandle later = ManualEvent();
    const HANDLE handles[] = {never.get(), later.get()};
    std::thread setter([&] {
        Sleep(50);
        SetEvent(later.get());
    });
    EXPECT_TRUE(WaitDispatchingMessages(handles, 2, 1));
    setter.join();
}
