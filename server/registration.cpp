#include "server/registration.h"

#include <cstring>

#include "platform/com.h"
#include "platform/com_server.h"
#include "platform/com_ptr.h"
#include "platform/module.h"
#include "platform/registry.h"
#include "platform/unique_hkey.h"
#include "platform/wide.h"
#include "server/guids.h"
#include "server/registry_script.h"
#include "server/registry_script_text.h"
#include "text/code_pages.h"

#ifdef _WIN32
#include <comcat.h>
#endif

namespace server {
namespace {

constexpr char kClassKeyPath[] = "CLSID\\{0788BA58-68FD-4AB5-9589-3E38780B8A97}";
constexpr const char* kCategorySubkeys[] = {"Required Categories", "Implemented Categories"};

// Safe for initialising, then safe for scripting.
constexpr GUID kImplementedCategories[] = {
    {0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}},
    {0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}},
};

HRESULT RunScript(bool registerMode, std::string* failedKey) {
    std::string path;
    const HRESULT hr = ModulePath(path);
    if (FAILED(hr)) {
        if (failedKey != nullptr) {
            *failedKey = "the program's own path";
        }
        return hr;
    }
    const ScriptVariables variables = {
        {"Module", QuotedModuleVariable(path)}, {"Module_Raw", path}, {"APPID", ""}};
    try {
        const auto script =
            ParseRegistryScript(ReplaceScriptVariables(RegistryScriptText(), variables));
        return ApplyRegistryScript(script, registerMode, failedKey);
    } catch (const RegistryScriptError&) {
        return E_UNEXPECTED;
    }
}

void Describe(std::string* failedKey, const std::string& what) {
    if (failedKey != nullptr && failedKey->empty()) {
        *failedKey = what;
    }
}

bool HasSubkeys(HKEY key) {
    char name[260];
    DWORD size = sizeof name;
    return RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Drops the category subkeys of the class key that have no subkeys left.
void RemoveEmptyCategoryKeys() {
    UniqueHkey classKey;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kClassKeyPath, 0, KEY_READ | KEY_WRITE, classKey.put()) !=
        ERROR_SUCCESS) {
        return;
    }
    for (const char* name : kCategorySubkeys) {
        UniqueHkey sub;
        if (RegOpenKeyExA(classKey.get(), name, 0, KEY_READ, sub.put()) != ERROR_SUCCESS) {
            continue;
        }
        const bool empty = !HasSubkeys(sub.get());
        sub.reset();
        if (empty) {
            RegDeleteKeyA(classKey.get(), name);
        }
    }
}

#ifdef _WIN32

HRESULT UpdateCategories(bool registerMode) {
    ICatRegister* raw = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICatRegister, reinterpret_cast<void**>(&raw));
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<ICatRegister> manager(raw);
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

HRESULT RegisterTypeLibrary() {
    std::string path;
    HRESULT hr = ModulePath(path);
    if (FAILED(hr)) {
        return hr;
    }
    std::u16string widePath = NarrowToWide(path, CP_UTF8);
    ITypeLib* raw = nullptr;
    hr = LoadTypeLib(ToPlatform(widePath), &raw);
    if (FAILED(hr)) {
        // A type library beside the executable, for a build that carries none.
        const size_t dot = widePath.rfind(u'.');
        const std::u16string tlbPath =
            (dot == std::u16string::npos ? widePath : widePath.substr(0, dot)) + u".tlb";
        hr = LoadTypeLib(ToPlatform(tlbPath), &raw);
        if (FAILED(hr)) {
            return hr;
        }
    }
    ComPtr<ITypeLib> library(raw);
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
    ITypeLib* raw = nullptr;
    hr = LoadTypeLib(ToPlatform(widePath), &raw);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<ITypeLib> library(raw);
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr)) {
        return hr;
    }
    const TLIBATTR copy = *attributes;
    library->ReleaseTLibAttr(attributes);
    // Nothing registered counts as unregistered, so a second run succeeds.
    BSTR registeredPath = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid,
                                     &registeredPath))) {
        return S_OK;
    }
    SysFreeString(registeredPath);
    const std::string neutralKey = NeutralLocaleKey(*library.get());
    if (copy.lcid != 0 && !neutralKey.empty()) {
        SHDeleteKeyA(HKEY_CLASSES_ROOT, neutralKey.substr(0, neutralKey.rfind('\\')).c_str());
    }
    return UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid,
                             copy.syskind);
}

#else

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

#endif

}  // namespace

HRESULT ModulePath(std::string& path) {
    if (!ModuleFileNameUtf8(path)) {
        const DWORD error = GetLastError();
        return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    return S_OK;
}

std::string QuotedModuleVariable(const std::string& path) {
    std::string quoted = "\"";
    for (const char c : path) {
        quoted += c;
        if (c == '\'') {
            quoted += '\'';
        }
    }
    return quoted + "\"";
}

HRESULT RegisterServer(std::string* failedKey) {
    // A script that could not be applied leaves the earlier registration as
    // it was (it checks every key first): add nothing to it.
    const HRESULT scriptResult = RunScript(true, failedKey);
    if (FAILED(scriptResult)) {
        return scriptResult;
    }
    HRESULT hr = UpdateCategories(true);
    if (FAILED(hr)) {
        Describe(failedKey,
                 "the component categories of HKEY_CLASSES_ROOT\\" + std::string(kClassKeyPath));
        return hr;
    }
    hr = RegisterTypeLibrary();
    if (FAILED(hr)) {
        Describe(failedKey, "the type library");
        return hr;
    }
    return S_OK;
}

HRESULT UnregisterServer(std::string* failedKey) {
    const HRESULT scriptResult = RunScript(false, failedKey);
    UpdateCategories(false);
    RemoveEmptyCategoryKeys();
    const HRESULT hr = UnregisterTypeLibrary();
    if (FAILED(hr)) {
        Describe(failedKey, "the type library");
        return hr;
    }
    return scriptResult;
}

}  // namespace server
