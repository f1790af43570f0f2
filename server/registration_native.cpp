#include "server/registration_steps.h"

#include <string>

#include "platform/com_server.h"
#include "platform/registry.h"
#include "platform/unique_hkey.h"

namespace server {

// The native build has no component category manager: the categories are
// recorded where the manager records them.
HRESULT UpdateCategories(bool registerMode) {
    for (const GUID& category : kImplementedCategories) {
        const std::string path = std::string(kClassKeyPath) + "\\Implemented Categories\\" +
                                 GuidToRegistryString(category);
        if (registerMode) {
            UniqueHkey key;
            const LONG status = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0,
                                                KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr);
            if (status != ERROR_SUCCESS) {
                return HRESULT_FROM_WIN32(status);
            }
        } else {
            RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
        }
    }
    return S_OK;
}

// The native build carries no type library.
HRESULT RegisterTypeLibrary() {
    return S_OK;
}
HRESULT UnregisterTypeLibrary() {
    return S_OK;
}

}  // namespace server
