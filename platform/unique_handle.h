// Owners of kernel-object handles, closed with CloseHandle. Functions differ
// in what they return on failure, so there is a line for each answer.
#pragma once

#include "platform/threads.h"
#include "platform/unique_resource.h"

// A thread, event or process handle: null means empty.
using UniqueHandle = UniqueResource<HANDLE, CloseHandle>;
// A handle from a function that fails with INVALID_HANDLE_VALUE (CreateFile,
// CreateToolhelp32Snapshot): that value means empty, so a failed call never
// looks valid.
using UniqueFileHandle = UniqueResource<HANDLE, CloseHandle, -1>;
