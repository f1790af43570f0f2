#include "server/registration_steps.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/com_ptr.h"
#include "platform/com_server.h"
#include "platform/registry.h"
#include "platform/unique_bstr.h"
#include "platform/unique_hkey.h"
#include "platform/wide.h"
#include "server/guids.h"
#include "server/registration.h"
#include "text/code_pages.h"

// After the system headers the platform headers bring in.
#include <comcat.h>

namespace server {
namespace {

// "TypeLib\{LIBID}\<major>.<minor>", the version in hexadecimal as the system
// writes it.
std::string VersionKey(const TLIBATTR& attributes) {
    char version[16];
    std::snprintf(version, sizeof version, "%x.%x", attributes.wMajorVerNum,
                  attributes.wMinorVerNum);
    return "TypeLib\\" + GuidToRegistryString(attributes.guid) + "\\" + version;
}

// "TypeLib\{LIBID}\<major>.<minor>\0\win32" (or win64) of a library.
std::string NeutralLocaleKey(ITypeLib& library) {
    TLIBATTR* attributes = nullptr;
    if (FAILED(library.GetLibAttr(&attributes))) {
        return {};
    }
    const std::string key =
        VersionKey(*attributes) + "\\0\\" + (attributes->syskind == SYS_WIN64 ? "win64" : "win32");
    library.ReleaseTLibAttr(attributes);
    return key;
}

// A key that is already gone counts as deleted.
HRESULT DeleteTree(HKEY parent, const std::string& subKey) {
    const DWORD status = SHDeleteKeyA(parent, subKey.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK
                                                                     : HRESULT_FROM_WIN32(status);
}

// Deletes Interface\{IID} in one registry view when its TypeLib value names
// `libid`: an interface another library describes is not ours to remove.
HRESULT DeleteInterfaceKey(REGSAM view, const GUID& iid, const GUID& libid) {
    const std::string iidKey = GuidToRegistryString(iid);
    UniqueHkey interfaces;
    LONG status = RegOpenKeyExA(HKEY_CLASSES_ROOT, "Interface", 0, KEY_READ | KEY_WRITE | view,
                                interfaces.put());
    if (status == ERROR_SUCCESS) {
        char text[64] = {};
        DWORD size = sizeof text;
        status = RegGetValueA(interfaces.get(), (iidKey + "\\TypeLib").c_str(), nullptr,
                              RRF_RT_REG_SZ, nullptr, text, &size);
        GUID named{};
        if (status == ERROR_SUCCESS && GuidFromRegistryString(text, named) &&
            IsEqualGUID(named, libid)) {
            return DeleteTree(interfaces.get(), iidKey);
        }
    }
    // Not registered in this view, or a value longer than any identifier.
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || status == ERROR_MORE_DATA
               ? S_OK
               : HRESULT_FROM_WIN32(status);
}

// What registering the library wrote, removed without the registered file,
// which the system's own unregistration reads: the interface keys naming the
// library in both views (the system writes both), the version key, and the
// library's key once nothing else is left in it.
HRESULT RemoveTypeLibraryKeys(ITypeLib& library, const TLIBATTR& attributes) {
    const UINT count = library.GetTypeInfoCount();
    for (UINT index = 0; index < count; ++index) {
        TYPEKIND kind{};
        if (FAILED(library.GetTypeInfoType(index, &kind)) ||
            (kind != TKIND_INTERFACE && kind != TKIND_DISPATCH)) {
            continue;
        }
        ComPtr<ITypeInfo> info;
        HRESULT hr = library.GetTypeInfo(index, info.put());
        TYPEATTR* typeAttributes = nullptr;
        if (SUCCEEDED(hr)) {
            hr = info->GetTypeAttr(&typeAttributes);
        }
        if (FAILED(hr)) {
            return hr;
        }
        const GUID iid = typeAttributes->guid;
        info->ReleaseTypeAttr(typeAttributes);
        for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            hr = DeleteInterfaceKey(view, iid, attributes.guid);
            if (FAILED(hr)) {
                return hr;
            }
        }
    }
    HRESULT hr = DeleteTree(HKEY_CLASSES_ROOT, VersionKey(attributes));
    if (FAILED(hr)) {
        return hr;
    }
    const std::string libraryKey = "TypeLib\\" + GuidToRegistryString(attributes.guid);
    UniqueHkey key;
    LONG status = RegOpenKeyExA(HKEY_CLASSES_ROOT, libraryKey.c_str(), 0, KEY_READ, key.put());
    if (status == ERROR_FILE_NOT_FOUND) {
        return S_OK;
    }
    DWORD subKeys = 0;
    DWORD values = 0;
    if (status == ERROR_SUCCESS) {
        status = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                  &values, nullptr, nullptr, nullptr, nullptr);
    }
    if (status == ERROR_SUCCESS && subKeys == 0 && values == 0) {
        key.reset();
        status = RegDeleteKeyA(HKEY_CLASSES_ROOT, libraryKey.c_str());
    }
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK
                                                                     : HRESULT_FROM_WIN32(status);
}

}  // namespace

HRESULT UpdateCategories(bool registerMode) {
    ComPtr<ICatRegister> manager;
    const HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr,
                                        CLSCTX_INPROC_SERVER, IID_ICatRegister, manager.put_void());
    if (FAILED(hr)) {
        return hr;
    }
    CATID categories[2];
    std::memcpy(categories, kImplementedCategories, sizeof categories);
    if (registerMode) {
        return manager->RegisterClassImplCategories(kClsidTranslationEngine, 2, categories);
    }
    for (CATID& category : categories) {
        manager->UnRegisterClassImplCategories(kClsidTranslationEngine, 1, &category);
    }
    return S_OK;
}

HRESULT RegisterTypeLibrary() {
    std::string path;
    HRESULT hr = ModulePath(path);
    if (FAILED(hr)) {
        return hr;
    }
    std::u16string widePath = NarrowToWide(path, CP_UTF8);
    ComPtr<ITypeLib> library;
    hr = LoadTypeLib(ToPlatform(widePath), library.put());
    if (FAILED(hr)) {
        // A type library beside the executable, for a build that carries none.
        const size_t dot = widePath.rfind(u'.');
        const std::u16string tlbPath =
            (dot == std::u16string::npos ? widePath : widePath.substr(0, dot)) + u".tlb";
        hr = LoadTypeLib(ToPlatform(tlbPath), library.put());
        if (FAILED(hr)) {
            return hr;
        }
    }
    hr = RegisterTypeLib(library.get(), ToPlatform(widePath.data()), nullptr);
    if (FAILED(hr)) {
        return hr;
    }
    // The automation marshaller looks the library up under the neutral locale;
    // record the path there as well, so the interfaces marshal whatever locale
    // the library names.
    const std::string neutralKey = NeutralLocaleKey(*library.get());
    if (!neutralKey.empty()) {
        UniqueHkey key;
        LONG status = RegCreateKeyExA(HKEY_CLASSES_ROOT, neutralKey.c_str(), 0, nullptr, 0,
                                      KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr);
        if (status == ERROR_SUCCESS) {
            status = RegSetUtf8StringValue(key.get(), nullptr, path);
        }
        if (status != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(status);
        }
    }
    return S_OK;
}

HRESULT UnregisterTypeLibrary() {
    std::string path;
    HRESULT hr = ModulePath(path);
    if (FAILED(hr)) {
        return hr;
    }
    const std::u16string widePath = NarrowToWide(path, CP_UTF8);
    ComPtr<ITypeLib> library;
    hr = LoadTypeLib(ToPlatform(widePath), library.put());
    if (FAILED(hr)) {
        return hr;
    }
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr)) {
        return hr;
    }
    const TLIBATTR copy = *attributes;
    library->ReleaseTLibAttr(attributes);
    // Nothing registered counts as unregistered, so a second run succeeds.
    UniqueBstr registeredPath;
    if (FAILED(QueryPathOfRegTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid,
                                     registeredPath.put()))) {
        return S_OK;
    }
    const std::string neutralKey = NeutralLocaleKey(*library.get());
    if (copy.lcid != 0 && !neutralKey.empty()) {
        hr = DeleteTree(HKEY_CLASSES_ROOT, neutralKey.substr(0, neutralKey.rfind('\\')));
        if (FAILED(hr)) {
            return hr;
        }
    }
    hr =
        UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
    if (SUCCEEDED(hr)) {
        return hr;
    }
    // The system's unregistration loads the registered file, which a rolled
    // back installation has already removed when it runs a copy of this server
    // to unregister: the library this executable carries names the same keys.
    return RemoveTypeLibraryKeys(*library.get(), copy);
}

}  // namespace server
