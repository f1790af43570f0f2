// The registry functions Windows does not offer as such: a UTF-8 string value
// written through the wide function, and the store problem, which Windows
// never has.
#include "platform/registry.h"

#include <string>

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

std::string RegistryStoreProblem() {
    return {};
}
