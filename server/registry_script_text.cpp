#include "server/registry_script_text.h"

#include "platform/module.h"
#include "server/engine_rgs.h"  // generated from engine.rgs: kEngineRegistryScript

namespace server {

std::string_view RegistryScriptText() {
    const std::string_view resource = ModuleResource(100, "REGISTRY");
    return resource.empty() ? kEngineRegistryScript : resource;
}

}  // namespace server
