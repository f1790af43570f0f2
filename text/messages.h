// Localized texts of the messages that HResultException and
// SystemErrorException format, in narrow (ANSI bytes) and wide form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/ui_language.h"

enum class MessageKind {
    FailedCall,   // a named system function failed: name and error code
    SystemError,  // a system error without a function name: error code
    HResult,      // a failed COM status code
};

// Longest formatted message, in characters (bytes for the narrow form).
inline constexpr std::size_t kMaxMessageLength = 1023;

// The message in `language` (English for languages without texts), built from
// the fixed ANSI bytes of its text. `code` prints as lower-case hex or signed
// decimal, as the language's text says.
std::string FormatLocalizedMessage(MessageKind kind, LanguageId language, std::string_view function,
                                   std::uint32_t code);

// The same message as wide text, independent of the ANSI code page.
std::u16string FormatLocalizedMessageWide(MessageKind kind, LanguageId language,
                                          std::u16string_view function, std::uint32_t code);
