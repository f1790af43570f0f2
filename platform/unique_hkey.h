// Owner of an open registry key handle, closed with RegCloseKey.
#pragma once

#include "platform/registry.h"
#include "platform/unique_resource.h"

using UniqueHkey = UniqueResource<HKEY, RegCloseKey>;
