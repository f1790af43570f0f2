#include "platform/com_server.h"

#include <mutex>
#include <vector>

#include "platform/registry.h"
#include "platform/unique_hkey.h"

namespace {

struct ClassEntry {
    DWORD cookie;
    CLSID clsid;
    IUnknown* factory;
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
    factory->AddRef();
    *cookie = table.nextCookie++;
    table.entries.push_back({*cookie, clsid, factory});
    // Registering again is how a server resumes serving after a suspension.
    table.suspended = false;
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
    IUnknown* factory = nullptr;
    {
        ClassTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        for (auto it = table.entries.begin(); it != table.entries.end(); ++it) {
            if (it->cookie == cookie) {
                factory = it->factory;
                table.entries.erase(it);
                break;
            }
        }
    }
    if (factory == nullptr) {
        return CO_E_OBJNOTREG;
    }
    factory->Release();
    return S_OK;
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
    IUnknown* factory = nullptr;
    {
        ClassTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        if (!table.suspended) {
            for (const ClassEntry& entry : table.entries) {
                if (IsEqualGUID(entry.clsid, clsid)) {
                    factory = entry.factory;
                    factory->AddRef();
                    break;
                }
            }
        }
    }
    if (factory == nullptr) {
        return REGDB_E_CLASSNOTREG;
    }
    const HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) {
        return hr;
    }
    hr = factory->CreateInstance(outer, iid, object);
    factory->Release();
    return hr;
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
