#include "server/registration.h"

#include "platform/module.h"
#include "platform/registry.h"
#include "platform/unique_hkey.h"
#include "server/registration_steps.h"
#include "server/registry_script.h"
#include "server/registry_script_text.h"
#include "text/exceptions.h"

namespace server {
namespace {

constexpr const char* kCategorySubkeys[] = {"Required Categories", "Implemented Categories"};

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
    } catch (...) {
        return HResultFromCaughtException();
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
