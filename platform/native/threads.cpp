#include "platform/threads.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

enum class Kind { Event, Thread };

struct KernelObject {
    explicit KernelObject(Kind k) : kind(k) {}
    Kind kind;
    bool signalled = false;
    bool manualReset = true;  // thread handles stay signalled once their thread ended
    DWORD suspendCount = 0;
    DWORD threadId = 0;
};

struct MessageQueue {
    std::deque<MSG> messages;
    // Set by a post, cleared when the owner looks at its queue: what makes
    // input "new" for MsgWaitForMultipleObjectsEx.
    bool changed = false;
};

// One lock and one condition for every object: a wait may involve several
// objects and the caller's queue at once, and nothing here is performance
// critical. Never destroyed, so detached threads may use it during exit.
struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> handles;
    std::uintptr_t nextHandle = 0x100;
    std::unordered_map<DWORD, std::shared_ptr<MessageQueue>> queues;
};

State& Global() {
    static State* state = new State;
    return *state;
}

std::atomic<DWORD> g_nextThreadId{0x1000};
thread_local DWORD t_threadId = 0;
thread_local DispatchHook t_dispatchHook = nullptr;

DWORD NewThreadId() {
    return g_nextThreadId.fetch_add(4);
}

// Removes the thread's queue when a thread the platform did not start ends.
struct QueueRegistration {
    DWORD threadId = 0;
    ~QueueRegistration() {
        if (threadId != 0) {
            State& state = Global();
            std::lock_guard<std::mutex> lock(state.mutex);
            state.queues.erase(threadId);
        }
    }
};
thread_local QueueRegistration t_queueRegistration;

// Thrown by _endthreadex and caught at the bottom of the thread it ends.
struct ThreadExit {
    unsigned code;
};

HANDLE AddHandle(State& state, std::shared_ptr<KernelObject> object) {
    state.nextHandle += 4;
    state.handles.emplace(state.nextHandle, std::move(object));
    return reinterpret_cast<HANDLE>(state.nextHandle);
}

std::shared_ptr<KernelObject> Find(State& state, HANDLE handle) {
    const auto found = state.handles.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == state.handles.end() ? nullptr : found->second;
}

std::shared_ptr<KernelObject> FindKind(State& state, HANDLE handle, Kind kind) {
    auto object = Find(state, handle);
    if (object == nullptr || object->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}

// The caller holds the state's lock.
std::shared_ptr<MessageQueue> QueueOfCurrentThread(State& state) {
    const DWORD id = GetCurrentThreadId();
    auto& queue = state.queues[id];
    if (queue == nullptr) {
        queue = std::make_shared<MessageQueue>();
        t_queueRegistration.threadId = id;
    }
    return queue;
}

bool InFilter(const MSG& message, UINT first, UINT last) {
    return (first == 0 && last == 0) || (message.message >= first && message.message <= last);
}

// Native builds have no windows: null takes every message, -1 only thread
// messages (all of them here); any other window handle is unknown.
bool ValidWindowFilter(HWND window) {
    return window == nullptr || window == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
}

std::optional<MSG> TakeMessage(MessageQueue& queue, UINT first, UINT last, bool remove) {
    queue.changed = false;
    for (auto it = queue.messages.begin(); it != queue.messages.end(); ++it) {
        if (InFilter(*it, first, last)) {
            MSG message = *it;
            if (remove) {
                queue.messages.erase(it);
            }
            return message;
        }
    }
    return std::nullopt;
}

struct WaitRequest {
    DWORD count = 0;
    const HANDLE* objects = nullptr;
    bool waitAll = false;
    DWORD milliseconds = 0;
    bool withInput = false;  // MsgWaitForMultipleObjectsEx
    DWORD wakeMask = 0;
    bool inputAvailable = false;
};

void Consume(KernelObject& object) {
    if (!object.manualReset) {
        object.signalled = false;
    }
}

DWORD Wait(const WaitRequest& request) {
    if (request.count > MAXIMUM_WAIT_OBJECTS || (request.count > 0 && request.objects == nullptr) ||
        (request.count == 0 && !request.withInput)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    State& state = Global();
    std::unique_lock<std::mutex> lock(state.mutex);
    std::vector<std::shared_ptr<KernelObject>> targets;
    for (DWORD i = 0; i < request.count; ++i) {
        auto object = Find(state, request.objects[i]);
        if (object == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        targets.push_back(std::move(object));
    }
    const auto queue = request.withInput ? QueueOfCurrentThread(state) : nullptr;
    const bool wantsPosted = (request.wakeMask & (QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) != 0;

    using Clock = std::chrono::steady_clock;
    const bool forever = request.milliseconds == INFINITE;
    const Clock::time_point deadline =
        forever ? Clock::time_point::max()
                : Clock::now() + std::chrono::milliseconds(request.milliseconds);
    for (;;) {
        if (request.waitAll) {
            bool all = true;
            for (const auto& target : targets) {
                all = all && target->signalled;
            }
            if (all) {
                for (const auto& target : targets) {
                    Consume(*target);
                }
                return WAIT_OBJECT_0;
            }
        } else {
            for (DWORD i = 0; i < request.count; ++i) {
                if (targets[i]->signalled) {
                    Consume(*targets[i]);
                    return WAIT_OBJECT_0 + i;
                }
            }
        }
        if (queue != nullptr && wantsPosted &&
            (request.inputAvailable ? !queue->messages.empty() : queue->changed)) {
            return WAIT_OBJECT_0 + request.count;
        }
        if (!forever && Clock::now() >= deadline) {
            return WAIT_TIMEOUT;
        }
        if (forever) {
            state.changed.wait(lock);
        } else {
            state.changed.wait_until(lock, deadline);
        }
    }
}

void ThreadMain(std::shared_ptr<KernelObject> self, _beginthreadex_proc_type start,
                void* argument) {
    t_threadId = self->threadId;
    State& state = Global();
    {
        std::unique_lock<std::mutex> lock(state.mutex);
        state.changed.wait(lock, [&] { return self->suspendCount == 0; });
    }
    try {
        start(argument);
    } catch (const ThreadExit&) {
        // _endthreadex: the thread ends here.
    }
    std::lock_guard<std::mutex> lock(state.mutex);
    state.queues.erase(self->threadId);
    t_queueRegistration.threadId = 0;
    self->signalled = true;
    state.changed.notify_all();
}

}  // namespace

BOOL CloseHandle(HANDLE object) {
    State& state = Global();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.handles.erase(reinterpret_cast<std::uintptr_t>(object)) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

std::uintptr_t _beginthreadex(void*, unsigned, _beginthreadex_proc_type start, void* argument,
                              unsigned flags, unsigned* threadId) {
    if (start == nullptr) {
        errno = EINVAL;
        return 0;
    }
    State& state = Global();
    HANDLE handle = nullptr;
    try {
        auto object = std::make_shared<KernelObject>(Kind::Thread);
        object->suspendCount = (flags & CREATE_SUSPENDED) != 0 ? 1 : 0;
        object->threadId = NewThreadId();
        {
            std::lock_guard<std::mutex> lock(state.mutex);
            handle = AddHandle(state, object);
        }
        if (threadId != nullptr) {
            *threadId = object->threadId;
        }
        std::thread(ThreadMain, object, start, argument).detach();
    } catch (...) {
        if (handle != nullptr) {
            std::lock_guard<std::mutex> lock(state.mutex);
            state.handles.erase(reinterpret_cast<std::uintptr_t>(handle));
        }
        errno = EAGAIN;
        return 0;
    }
    return reinterpret_cast<std::uintptr_t>(handle);
}

void _endthreadex(unsigned exitCode) {
    throw ThreadExit{exitCode};
}

DWORD ResumeThread(HANDLE thread) {
    State& state = Global();
    std::lock_guard<std::mutex> lock(state.mutex);
    auto object = FindKind(state, thread, Kind::Thread);
    if (object == nullptr) {
        return static_cast<DWORD>(-1);
    }
    const DWORD previous = object->suspendCount;
    if (previous > 0 && --object->suspendCount == 0) {
        state.changed.notify_all();
    }
    return previous;
}

DWORD GetCurrentThreadId() {
    if (t_threadId == 0) {
        t_threadId = NewThreadId();
    }
    return t_threadId;
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == INFINITE) {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(24));
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
    if (name != nullptr) {
        // Named events would be shared by name; nothing here needs them.
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    try {
        auto object = std::make_shared<KernelObject>(Kind::Event);
        object->manualReset = manualReset != FALSE;
        object->signalled = initialState != FALSE;
        State& state = Global();
        std::lock_guard<std::mutex> lock(state.mutex);
        return AddHandle(state, std::move(object));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

BOOL SetEvent(HANDLE event) {
    State& state = Global();
    std::lock_guard<std::mutex> lock(state.mutex);
    auto object = FindKind(state, event, Kind::Event);
    if (object == nullptr) {
        return FALSE;
    }
    object->signalled = true;
    state.changed.notify_all();
    return TRUE;
}

BOOL ResetEvent(HANDLE event) {
    State& state = Global();
    std::lock_guard<std::mutex> lock(state.mutex);
    auto object = FindKind(state, event, Kind::Event);
    if (object == nullptr) {
        return FALSE;
    }
    object->signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    WaitRequest request;
    request.count = 1;
    request.objects = &object;
    request.milliseconds = milliseconds;
    return Wait(request);
}

DWORD WaitForMultipleObjectsEx(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds,
                               BOOL) {
    WaitRequest request;
    request.count = count;
    request.objects = objects;
    request.waitAll = waitAll != FALSE;
    request.milliseconds = milliseconds;
    return Wait(request);
}

DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* objects, DWORD milliseconds,
                                  DWORD wakeMask, DWORD flags) {
    if ((flags & MWMO_WAITALL) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);  // not needed by anything here
        return WAIT_FAILED;
    }
    WaitRequest request;
    request.count = count;
    request.objects = objects;
    request.milliseconds = milliseconds;
    request.withInput = true;
    request.wakeMask = wakeMask;
    request.inputAvailable = (flags & MWMO_INPUTAVAILABLE) != 0;
    return Wait(request);
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    State& state = Global();
    std::lock_guard<std::mutex> lock(state.mutex);
    const auto found = state.queues.find(threadId);
    if (found == state.queues.end()) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    try {
        found->second->messages.push_back(MSG{nullptr, message, wParam, lParam, 0, {0, 0}});
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    found->second->changed = true;
    state.changed.notify_all();
    return TRUE;
}

BOOL PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove) {
    if (message == nullptr || !ValidWindowFilter(window)) {
        SetLastError(message == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    State& state = Global();
    std::lock_guard<std::mutex> lock(state.mutex);
    const auto taken =
        TakeMessage(*QueueOfCurrentThread(state), first, last, (remove & PM_REMOVE) != 0);
    if (!taken) {
        return FALSE;
    }
    *message = *taken;
    return TRUE;
}

BOOL GetMessageA(LPMSG message, HWND window, UINT first, UINT last) {
    if (message == nullptr || !ValidWindowFilter(window)) {
        SetLastError(message == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return -1;
    }
    State& state = Global();
    std::unique_lock<std::mutex> lock(state.mutex);
    const auto queue = QueueOfCurrentThread(state);
    for (;;) {
        if (const auto taken = TakeMessage(*queue, first, last, true)) {
            *message = *taken;
            return message->message == WM_QUIT ? FALSE : TRUE;
        }
        state.changed.wait(lock);
    }
}

LRESULT DispatchMessageA(const MSG* message) {
    if (message != nullptr && t_dispatchHook != nullptr) {
        t_dispatchHook(*message);
    }
    return 0;
}

void SetDispatchHookForThread(DispatchHook hook) {
    t_dispatchHook = hook;
}
