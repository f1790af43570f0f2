// Owner of an Internet client handle (session, connection, request), closed
// with InternetCloseHandle.
#pragma once

#include "platform/internet.h"
#include "platform/unique_resource.h"

using InternetHandle = UniqueResource<HINTERNET, InternetCloseHandle>;
