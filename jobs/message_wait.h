// The wait of a thread that may own windows: it keeps serving window messages
// while it waits for a kernel object.
#pragma once

#include "platform/threads.h"

// Waits until one of `handles` is signalled (or abandoned). Input that arrives
// meanwhile wakes the wait and one message is removed and dispatched per
// wake-up; a time-out of a single wait only starts the next one. Returns false
// at once when a wait fails, so an invalid handle never makes it spin.
bool WaitDispatchingMessages(const HANDLE* handles, DWORD count, DWORD timeout);
