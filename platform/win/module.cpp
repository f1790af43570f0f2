// The program's own path, asked for in its wide form so that a folder of any
// name survives, and its resources.
#include "platform/module.h"

#include <string>
#include <vector>

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

std::string_view ModuleResource(int id, const char* type) {
    // A loaded module's resources stay mapped as long as the module.
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == nullptr) {
        return {};
    }
    const HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return {};
    }
    return std::string_view(static_cast<const char*>(data), SizeofResource(module, found));
}
