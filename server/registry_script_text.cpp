#include "server/registry_script_text.h"

#include "server/engine_rgs.h"  // generated from engine.rgs: kEngineRegistryScript

#ifdef _WIN32
#include <windows.h>
#endif

namespace server {

std::string_view RegistryScriptText() {
#ifdef _WIN32
    const HMODULE module = GetModuleHandleA(nullptr);
    if (const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(100), "REGISTRY")) {
        const HGLOBAL loaded = LoadResource(module, found);
        const DWORD size = SizeofResource(module, found);
        if (const void* data = loaded ? LockResource(loaded) : nullptr) {
            return std::string_view(static_cast<const char*>(data), size);
        }
    }
#endif
    return kEngineRegistryScript;
}

}  // namespace server
