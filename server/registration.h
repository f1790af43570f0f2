// Self-registration of the server: registry script, component categories and
// type library.
#pragma once

#include <string>

#include "platform/types.h"

namespace server {

// Registry script in register mode (its result dropped), then the class's
// implemented categories (a failure stops here) and the type library.
// Returns the result of the latter two.
HRESULT RegisterServer();

// Registry script in unregister mode (its result dropped), the categories
// (results ignored), then the type library, whose result is returned.
// Unregistering what is not registered succeeds.
HRESULT UnregisterServer();

// The variables the registry script sees: "Module" (the executable's path
// with single quotes doubled, in double quotes), "Module_Raw" and "APPID".
// Fails with HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) when the path
// fills the 260-character buffer.
HRESULT ModulePath(std::string& path);
std::string QuotedModuleVariable(const std::string& path);

}  // namespace server
