// Self-registration of the server: registry script, component categories and
// type library.
#pragma once

#include <string>

#include "platform/types.h"

namespace server {

// Registry script in register mode, then the class's implemented categories
// (a failure stops here) and the type library. Returns the first failure of
// the latter two, else the script's result, so that entries which could not be
// written never read as success; `failedKey` names where it failed.
HRESULT RegisterServer(std::string* failedKey = nullptr);

// Registry script in unregister mode, the categories (results ignored), then
// the type library. Returns the type library's failure, else the script's
// result. Unregistering what is not registered succeeds.
HRESULT UnregisterServer(std::string* failedKey = nullptr);

// The variables the registry script sees: "Module" (the executable's path
// with single quotes doubled, in double quotes), "Module_Raw" and "APPID".
// Fails with HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) when the path
// fills the 260-character buffer.
HRESULT ModulePath(std::string& path);
std::string QuotedModuleVariable(const std::string& path);

}  // namespace server
