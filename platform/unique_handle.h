// Owner of a kernel-object handle (thread, event), closed with CloseHandle.
// Null means empty.
#pragma once

#include "platform/threads.h"
#include "platform/unique_resource.h"

using UniqueHandle = UniqueResource<HANDLE, CloseHandle>;
