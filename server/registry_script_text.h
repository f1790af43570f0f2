// The registry script that describes the server's registry entries.
#pragma once

#include <string_view>

namespace server {

// The Windows executable carries the script as resource REGISTRY 100 and this
// returns that resource; programs without it (tests, the native build) get
// the copy compiled in from the same file.
std::string_view RegistryScriptText();

}  // namespace server
