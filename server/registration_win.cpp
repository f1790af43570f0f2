#include "server/registration_steps.h"

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

// "TypeLib\{LIBID}\<major>.<minor>\0\win32" (or win64) of a library.
std::string NeutralLocaleKey(ITypeLib& library) {
    TLIBATTR* attributes = nullptr;
    if (FAILED(library.GetLibAttr(&attributes))) {
        return {};
    }
    const std::string key = "TypeLib\\" + GuidToRegistryString(attributes->guid) + "\\" +
                            std::to_string(attributes->wMajorVerNum) + "." +
                            std::to_string(attributes->wMinorVerNum) + "\\0\\" +
                            (attributes->syskind == SYS_WIN64 ? "win64" : "win32");
    library.ReleaseTLibAttr(attributes);
    return key;
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
        SHDeleteKeyA(HKEY_CLASSES_ROOT, neutralKey.substr(0, neutralKey.rfind('\\')).c_str());
    }
    return UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid,
                             copy.syskind);
}

}  // namespace server
