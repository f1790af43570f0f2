// Owner of a search handle from FindFirstFileA, closed with FindClose. A
// failed search gives INVALID_HANDLE_VALUE, which is empty.
#pragma once

#include "platform/module.h"
#include "platform/unique_resource.h"

using FindHandle = UniqueResource<HANDLE, FindClose, -1>;
