// Conversions between narrow (8-bit, code page given) and wide (UTF-16) text;
// the only ones the engine uses.
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

inline constexpr UINT kCodePageUtf8 = 65001;

// Decodes bytes; the result stops before the first zero code unit.
std::u16string NarrowToWide(std::string_view bytes, UINT codePage);
// Encodes every code unit (zero units become zero bytes).
std::string WideToNarrow(std::u16string_view text, UINT codePage);

// The system's ANSI code page (GetACP) used for messages and labels.
UINT AnsiCodePage();
std::u16string AnsiToWide(std::string_view bytes);
std::string WideToAnsi(std::u16string_view text);
