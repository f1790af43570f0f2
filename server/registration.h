// Self-registration of the server: registry script, component categories and
// type library.
#pragma once

#include <string>

#include "platform/types.h"

namespace server {

// Registry script in register mode, then the class's implemented categories
// and the type library; the first failure stops there and is returned, so
// that entries which could not be written never read as success. A script
// that cannot write every key it touches changes nothing. `failedKey` names
// where it failed.
HRESULT RegisterServer(std::string* failedKey = nullptr);

// Registry script in unregister mode, the categories (results ignored), then
// the type library. Returns the type library's failure, else the script's
// result. Unregistering what is not registered succeeds.
HRESULT UnregisterServer(std::string* failedKey = nullptr);

// The variables the registry script sees: "Module" (the executable's path
// with single quotes doubled, in double quotes), "Module_Raw" and "APPID".
// The path is UTF-8, so a folder of any name survives. Fails with
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) when it does not fit.
HRESULT ModulePath(std::string& path);
std::string QuotedModuleVariable(const std::string& path);

}  // namespace server
