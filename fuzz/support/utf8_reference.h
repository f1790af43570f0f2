// UTF-8 as the engine converts it, worked out one sequence at a time from the
// encoding's rules, for the tests and the fuzz targets to hold the fast
// conversions to. Each value is derived from the rules, never taken from the
// engine: a wrong constant there cannot agree with this by construction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace utf8_reference {

// Surrogates: two halves of 2^10 units each, the high half first; a pair
// reaches the 2^20 code points above the 16-bit range, and nothing beyond.
inline constexpr char32_t kHighSurrogateFirst = 0xD800;
inline constexpr char32_t kSurrogateHalfSize = char32_t{1} << 10;
inline constexpr char32_t kLowSurrogateFirst = kHighSurrogateFirst + kSurrogateHalfSize;
inline constexpr char32_t kFirstSupplementary = char32_t{1} << 16;
inline constexpr char32_t kMaxCodePoint =
    kFirstSupplementary + kSurrogateHalfSize * kSurrogateHalfSize - 1;

// Decodes sequence by sequence; the number of high one bits of the lead gives
// the length (a lone continuation byte is a sequence of its own, 0xFE and 0xFF
// lead six bytes). Nothing but the lead is checked: overlong forms and
// surrogate values decode to their value, continuation bytes that are none add
// their byte less the continuation marker (32-bit arithmetic), and a value
// beyond kMaxCodePoint gives U+FFFD. Stops before a sequence that runs past
// the input or whose units do not fit in `capacity`.
std::u16string Decode(std::string_view bytes, std::size_t capacity = SIZE_MAX);

// The engine's conversion of zero-terminated text: the bytes and their
// terminating zero decoded (the zero may complete a cut sequence), up to the
// first zero unit.
std::u16string DecodeTerminated(std::string_view bytes);

// The shortest sequence for a code point (up to 4 bytes for kMaxCodePoint).
std::string EncodeCodePoint(char32_t codePoint);

// Encodes unit by unit: a high surrogate followed by a low one is a pair,
// any other surrogate is encoded as its own value. Stops before a sequence
// that does not fit in `capacity`.
std::string Encode(std::u16string_view text, std::size_t capacity = SIZE_MAX);

}  // namespace utf8_reference
