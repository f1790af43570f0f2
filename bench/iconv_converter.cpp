#include "bench/iconv_converter.h"

#include <stdexcept>
#include <string>

namespace bench {

IconvConverter::IconvConverter(const char* to, const char* from)
    : descriptor_(iconv_open(to, from)) {
    if (descriptor_ == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
}

IconvConverter::~IconvConverter() {
    iconv_close(descriptor_);
}

long IconvConverter::Convert(const char* in, std::size_t inBytes, char* out, std::size_t outBytes) {
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    char* input = const_cast<char*>(in);                     // iconv's signature; it only reads
    char* output = out;
    std::size_t inLeft = inBytes;
    std::size_t outLeft = outBytes;
    if (iconv(descriptor_, &input, &inLeft, &output, &outLeft) == static_cast<std::size_t>(-1) ||
        inLeft != 0) {
        return -1;
    }
    return static_cast<long>(output - out);
}

std::u16string IconvUtf8ToUtf16(IconvConverter& converter, std::string_view bytes) {
    // Never more code units than bytes.
    std::u16string result(bytes.size(), u'\0');
    const long written =
        converter.Convert(bytes.data(), bytes.size(), reinterpret_cast<char*>(result.data()),
                          result.size() * sizeof(char16_t));
    result.resize(written < 0 ? 0 : static_cast<std::size_t>(written) / sizeof(char16_t));
    return result;
}

std::string IconvUtf16ToUtf8(IconvConverter& converter, std::u16string_view text) {
    // Three bytes per code unit at most (a pair of units gives four).
    std::string result(text.size() * 3, '\0');
    const long written =
        converter.Convert(reinterpret_cast<const char*>(text.data()),
                          text.size() * sizeof(char16_t), result.data(), result.size());
    result.resize(written < 0 ? 0 : static_cast<std::size_t>(written));
    return result;
}

}  // namespace bench
