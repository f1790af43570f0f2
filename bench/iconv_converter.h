// The C library's character-set conversion, the yardstick the engine's own
// UTF-8 conversion is measured against.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace bench {

// Owns one conversion descriptor (iconv_open/iconv_close).
class IconvConverter {
  public:
    // Throws std::runtime_error when the C library lacks the pair.
    IconvConverter(const char* to, const char* from);
    ~IconvConverter();
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    // Converts all of `in` into `out` (of `outBytes`); the number of bytes
    // written, or -1 when the input does not convert or the output is short.
    long Convert(const char* in, std::size_t inBytes, char* out, std::size_t outBytes);

  private:
    iconv_t descriptor_;
};

// UTF-8 to UTF-16 (little-endian, no byte-order mark) into a new string, the
// same shape of work as NarrowToWide; empty on failure.
std::u16string IconvUtf8ToUtf16(IconvConverter& converter, std::string_view bytes);

// UTF-16 to UTF-8 into a new string, the same shape of work as WideToNarrow.
std::string IconvUtf16ToUtf8(IconvConverter& converter, std::u16string_view text);

}  // namespace bench
