#include "platform/com_server.h"

#include <mutex>
#include <utility>
#include <vector>

#include "platform/com_ptr.h"
#include "platform/registry.h"
#include "platform/unique_hkey.h"

namespace {

struct ClassEntry {
    DWORD cookie;
    CLSID clsid;
    ComPtr<IUnknown> factory;
};

struct ClassTable {
    std::mutex mutex;
    std::vector<ClassEntry> entries;
    DWORD nextCookie = 1;
    bool suspended = false;
};

ClassTable& Table() {
    static ClassTable table;
    return table;
}

}  // namespace

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD, DWORD, DWORD* cookie) {
    if (factory == nullptr || cookie == nullptr) {
        return E_INVALIDARG;
    }
    ClassTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    *cookie = table.nextCookie++;
    table.entries.push_back({*cookie, clsid, ComPtr<IUnknown>::Retain(factory)});
    // Registering again is how a server resumes serving after a suspension.
    table.suspended = false;
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
    // Given back outside the lock, once this goes out of scope.
    ComPtr<IUnknown> factory;
    {
        ClassTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        for (auto it = table.entries.begin(); it != table.entries.end(); ++it) {
            if (it->cookie == cookie) {
                factory = std::move(it->factory);
                table.entries.erase(it);
                break;
            }
        }
    }
    return factory ? S_OK : CO_E_OBJNOTREG;
}

HRESULT CoSuspendClassObjects() {
    ClassTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.suspended = true;
    return S_OK;
}

HRESULT CoResumeClassObjects() {
    ClassTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.suspended = false;
    return S_OK;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD, void*, REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    ComPtr<IUnknown> factory;
    {
        ClassTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        if (!table.suspended) {
            for (const ClassEntry& entry : table.entries) {
                if (IsEqualGUID(entry.clsid, clsid)) {
                    factory = ComPtr<IUnknown>::Retain(entry.factory.get());
                    break;
                }
            }
        }
    }
    if (!factory) {
        return REGDB_E_CLASSNOTREG;
    }
    return factory->QueryInterface(iid, object);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    ComPtr<IClassFactory> factory;
    const HRESULT hr =
        CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, factory.put_void());
    if (FAILED(hr)) {
        return hr;
    }
    return factory->CreateInstance(outer, iid, object);
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
    if (progId == nullptr || clsid == nullptr) {
        return E_INVALIDARG;
    }
    // ProgIDs are plain ASCII names.
    std::string path;
    for (const OLECHAR* p = progId; *p != 0; ++p) {
        if (*p > 0x7F) {
            return CO_E_CLASSSTRING;
        }
        path += static_cast<char>(*p);
    }
    path += "\\CLSID";
    UniqueHkey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return CO_E_CLASSSTRING;
    }
    char text[64];
    DWORD size = sizeof text;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ || size == 0) {
        return CO_E_CLASSSTRING;
    }
    return GuidFromRegistryString(std::string_view(text, size - 1), *clsid) ? S_OK
                                                                            : CO_E_CLASSSTRING;
}
