// Wide-character forms of a path and a registry value for Windows: text the
// ANSI code page cannot hold survives.
#include <string>
#include <vector>

#include "platform/module.h"
#include "platform/registry.h"

LONG RegSetUtf8StringValue(HKEY key, LPCSTR valueName, std::string_view utf8) {
    std::wstring wide;
    if (!utf8.empty()) {
        const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                             static_cast<int>(utf8.size()), nullptr, 0);
        if (size <= 0) {
            return ERROR_NO_UNICODE_TRANSLATION;
        }
        wide.resize(static_cast<std::size_t>(size));
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                            static_cast<int>(utf8.size()), wide.data(), size);
    }
    std::wstring name;
    for (const char* c = valueName; c != nullptr && *c != '\0'; ++c) {
        name += static_cast<wchar_t>(static_cast<unsigned char>(*c));  // names are ASCII
    }
    return RegSetValueExW(key, valueName == nullptr ? nullptr : name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(wide.c_str()),
                          static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

bool ModuleFileNameUtf8(std::string& path) {
    // Long paths ("\\?\") may exceed MAX_PATH: grow until the name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length = 0;
    for (;;) {
        length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return false;
        }
        if (length < buffer.size()) {
            break;
        }
        if (buffer.size() >= 32768) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, buffer.data(), static_cast<int>(length),
                                         nullptr, 0, nullptr, nullptr);
    path.resize(static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, buffer.data(), static_cast<int>(length), path.data(), size,
                        nullptr, nullptr);
    return true;
}
