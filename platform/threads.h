// Threads, events, waits and per-thread message queues. Windows takes them from
// the system headers; the native build implements the same calls over kernel
// objects of its own (handles closed with CloseHandle, thread handles signalled
// when their thread ends).
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <cstdint>

inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline constexpr DWORD CREATE_SUSPENDED = 0x4;

inline constexpr DWORD WAIT_OBJECT_0 = 0x0;
inline constexpr DWORD WAIT_ABANDONED_0 = 0x80;
inline constexpr DWORD WAIT_IO_COMPLETION = 0xC0;
inline constexpr DWORD WAIT_TIMEOUT = 0x102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Wake masks of MsgWaitForMultipleObjectsEx; only posted messages exist here.
inline constexpr DWORD QS_KEY = 0x0001;
inline constexpr DWORD QS_MOUSEMOVE = 0x0002;
inline constexpr DWORD QS_MOUSEBUTTON = 0x0004;
inline constexpr DWORD QS_POSTMESSAGE = 0x0008;
inline constexpr DWORD QS_TIMER = 0x0010;
inline constexpr DWORD QS_PAINT = 0x0020;
inline constexpr DWORD QS_SENDMESSAGE = 0x0040;
inline constexpr DWORD QS_HOTKEY = 0x0080;
inline constexpr DWORD QS_ALLPOSTMESSAGE = 0x0100;
inline constexpr DWORD QS_RAWINPUT = 0x0400;
inline constexpr DWORD QS_ALLINPUT = 0x04FF;
inline constexpr DWORD MWMO_WAITALL = 0x1;
inline constexpr DWORD MWMO_ALERTABLE = 0x2;
inline constexpr DWORD MWMO_INPUTAVAILABLE = 0x4;

inline constexpr UINT PM_NOREMOVE = 0x0;
inline constexpr UINT PM_REMOVE = 0x1;

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

using _beginthreadex_proc_type = unsigned (*)(void*);

// Kernel objects.
BOOL CloseHandle(HANDLE object);

// Threads. The entry routine's argument is handed over unchanged; a suspended
// thread runs only after ResumeThread brings its suspend count to zero.
std::uintptr_t _beginthreadex(void* security, unsigned stackSize, _beginthreadex_proc_type start,
                              void* argument, unsigned flags, unsigned* threadId);
// Ends the calling thread, which _beginthreadex must have started.
[[noreturn]] void _endthreadex(unsigned exitCode);
DWORD ResumeThread(HANDLE thread);  // previous suspend count, or (DWORD)-1
DWORD GetCurrentThreadId();
void Sleep(DWORD milliseconds);

// Events.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                    LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Waits. An auto-reset event that satisfies a wait is reset by it.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
DWORD WaitForMultipleObjectsEx(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds,
                               BOOL alertable);
// Returns WAIT_OBJECT_0 + count when input of `wakeMask` arrived that the
// thread has not yet looked at with PeekMessageA or GetMessageA (with
// MWMO_INPUTAVAILABLE: when any such input is queued).
DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* objects, DWORD milliseconds,
                                  DWORD wakeMask, DWORD flags);

// Message queues. A thread has one once it has called one of the message
// functions; posting to a thread without one fails. There are no windows: the
// window filters of PeekMessageA and GetMessageA accept only null.
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove);
BOOL GetMessageA(LPMSG message, HWND window, UINT first, UINT last);  // 0 on WM_QUIT
LRESULT DispatchMessageA(const MSG* message);

// Without windows a dispatched thread message reaches no procedure; tests
// observe dispatching through this hook of the calling thread (null: none).
using DispatchHook = void (*)(const MSG& message);
void SetDispatchHookForThread(DispatchHook hook);
#endif
