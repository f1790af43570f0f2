// The one place where the engine's 16-bit text meets the platform's wide
// characters. The engine keeps wide text as std::u16string; Win32 and OLE take
// wchar_t (16-bit on Windows), the native stand-ins take char16_t directly.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/types.h"

#ifdef _WIN32
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are 16 bits");
using PlatformChar = wchar_t;
#else
using PlatformChar = char16_t;
#endif

// Views the engine's text as platform wide characters (no copy).
inline const PlatformChar* ToPlatform(const char16_t* text) {
    return reinterpret_cast<const PlatformChar*>(text);
}
inline PlatformChar* ToPlatform(char16_t* text) {
    return reinterpret_cast<PlatformChar*>(text);
}
inline const PlatformChar* ToPlatform(const std::u16string& text) {
    return ToPlatform(text.c_str());
}

// Views platform wide characters as the engine's text (no copy).
inline const char16_t* FromPlatform(const PlatformChar* text) {
    return reinterpret_cast<const char16_t*>(text);
}
inline char16_t* FromPlatform(PlatformChar* text) {
    return reinterpret_cast<char16_t*>(text);
}

// Copies a platform wide string of known length into engine text.
inline std::u16string FromPlatform(const PlatformChar* text, std::size_t length) {
    return text ? std::u16string(FromPlatform(text), length) : std::u16string();
}
