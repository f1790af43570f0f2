// UTF-8 checks the serving side makes of request bodies and answers.
#pragma once

#include <cstddef>
#include <string_view>

namespace bridge {

// Strictly valid UTF-8: no over-long forms, no surrogates, nothing beyond
// U+10FFFF, no sequence cut short.
bool IsValidUtf8(std::string_view text);

// The number of code points in text (continuation bytes are not counted).
std::size_t CountCodePoints(std::string_view text);

}  // namespace bridge
