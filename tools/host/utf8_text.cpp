#include "tools/host/utf8_text.h"

#include <cstdint>

namespace host {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

void AppendCodePoint(std::u16string& out, std::uint32_t value) {
    if (value < 0x10000) {
        out += static_cast<char16_t>(value);
        return;
    }
    value -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (value >> 10));
    out += static_cast<char16_t>(0xDC00 + (value & 0x3FF));
}

}  // namespace

bool LooksLikeUtf16(std::string_view bytes) {
    if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                              (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
        return true;
    }
    // ASCII text in UTF-16 has a zero in every other byte.
    std::size_t zeros = 0;
    const std::size_t sample = bytes.size() < 512 ? bytes.size() : 512;
    for (std::size_t i = 0; i < sample; ++i) {
        zeros += bytes[i] == '\0' ? 1 : 0;
    }
    return sample >= 4 && zeros * 3 >= sample;
}

std::optional<DecodedText> DecodeUtf8Strict(std::string_view bytes, DecodeFailure* failure) {
    DecodedText result;
    std::size_t i = 0;
    if (bytes.substr(0, kBom.size()) == kBom) {
        result.hadBom = true;
        i = kBom.size();
    }
    result.text.reserve(bytes.size() - i);
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        std::uint32_t value = 0;
        std::uint32_t minimum = 0;
        if (lead < 0x80) {
            result.text += static_cast<char16_t>(lead);
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, value = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, value = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, value = lead & 0x07, minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            value = (value << 6) | (next & 0x3F);
        }
        valid =
            valid && value >= minimum && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
        if (!valid) {
            if (failure != nullptr) {
                failure->offset = i;
                failure->hint = LooksLikeUtf16(bytes) ? "it looks like UTF-16; save it as UTF-8"
                                                      : "save it as UTF-8";
            }
            return std::nullopt;
        }
        AppendCodePoint(result.text, value);
        i += length;
    }
    return result;
}

std::string EncodeUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t value = text[i];
        if (value >= 0xD800 && value <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            value = 0x10000 + ((value - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (value >= 0xD800 && value <= 0xDFFF) {
            value = 0xFFFD;
        }
        if (value < 0x80) {
            out += static_cast<char>(value);
        } else if (value < 0x800) {
            out += static_cast<char>(0xC0 | (value >> 6));
            out += static_cast<char>(0x80 | (value & 0x3F));
        } else if (value < 0x10000) {
            out += static_cast<char>(0xE0 | (value >> 12));
            out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (value & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (value >> 18));
            out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (value & 0x3F));
        }
    }
    return out;
}

}  // namespace host
