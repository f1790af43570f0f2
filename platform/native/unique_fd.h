// Owner of a POSIX file descriptor, closed with close(). -1 is none.
#pragma once

#include <unistd.h>

#include "platform/unique_resource.h"

using UniqueFd = UniqueResource<int, ::close, -1>;
