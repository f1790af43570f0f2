// The native build's paths and store are bytes already: UTF-8 passes through.
#include <string>

#include "platform/module.h"
#include "platform/registry.h"

LONG RegSetUtf8StringValue(HKEY key, LPCSTR valueName, std::string_view utf8) {
    const std::string text(utf8);
    return RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

bool ModuleFileNameUtf8(std::string& path) {
    char buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) {
        return false;
    }
    path.assign(buffer, length);
    return true;
}
