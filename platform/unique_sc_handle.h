// Owner of a Service Control Manager handle (the manager's, or a service's),
// closed with CloseServiceHandle. Windows only.
#pragma once

#include <windows.h>

#include "platform/unique_resource.h"

using UniqueScHandle = UniqueResource<SC_HANDLE, CloseServiceHandle>;
