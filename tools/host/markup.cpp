#include "tools/host/markup.h"

#include <cstdint>

namespace host {
namespace {

constexpr std::u16string_view kErrorsOpen = u"<Errors>";
constexpr std::u16string_view kErrorsClose = u"</Errors>";
constexpr std::u16string_view kTranslationOpen = u"<Translation>";
constexpr std::u16string_view kTranslationClose = u"</Translation>";

bool ParseNumber(std::u16string_view digits, int base, std::uint32_t& value) {
    if (digits.empty() || digits.size() > 8) {
        return false;
    }
    value = 0;
    for (char16_t c : digits) {
        std::uint32_t digit = 0;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (base == 16 && c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (base == 16 && c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        } else {
            return false;
        }
        value = value * base + digit;
    }
    return true;
}

bool AppendReference(std::u16string_view name, std::u16string& out) {
    struct Named {
        std::u16string_view name;
        char16_t value;
    };
    static constexpr Named kNamed[] = {
        {u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'}, {u"apos", u'\''}};
    for (const Named& entity : kNamed) {
        if (name == entity.name) {
            out += entity.value;
            return true;
        }
    }
    if (name.size() < 2 || name[0] != u'#') {
        return false;
    }
    std::uint32_t value = 0;
    const bool hex = name[1] == u'x' || name[1] == u'X';
    if (!ParseNumber(name.substr(hex ? 2 : 1), hex ? 16 : 10, value) || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF)) {
        return false;
    }
    if (value < 0x10000) {
        out += static_cast<char16_t>(value);
    } else {
        value -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (value >> 10));
        out += static_cast<char16_t>(0xDC00 + (value & 0x3FF));
    }
    return true;
}

}  // namespace

std::u16string DecodeXmlText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == u'&') {
            const std::size_t end = text.find(u';', i + 1);
            // References are short; a lone "&" far from any ";" is plain text.
            if (end != std::u16string_view::npos && end - i <= 12 &&
                AppendReference(text.substr(i + 1, end - i - 1), out)) {
                i = end + 1;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

ChunkMarkup ParseChunkMarkup(std::u16string_view markup) {
    ChunkMarkup result;
    std::size_t position = 0;
    // Escaped content cannot hold a tag, so each message runs to its closing tag.
    for (;;) {
        const std::size_t open = markup.find(kErrorsOpen, position);
        const std::size_t translation = markup.find(kTranslationOpen, position);
        if (open == std::u16string_view::npos || open > translation) {
            break;
        }
        const std::size_t start = open + kErrorsOpen.size();
        const std::size_t close = markup.find(kErrorsClose, start);
        if (close == std::u16string_view::npos) {
            result.errors.push_back(DecodeXmlText(markup.substr(start)));
            return result;
        }
        result.errors.push_back(DecodeXmlText(markup.substr(start, close - start)));
        position = close + kErrorsClose.size();
    }
    const std::size_t open = markup.find(kTranslationOpen, position);
    if (open == std::u16string_view::npos) {
        return result;
    }
    const std::size_t start = open + kTranslationOpen.size();
    const std::size_t close = markup.find(kTranslationClose, start);
    if (close == std::u16string_view::npos) {
        return result;
    }
    result.translation = DecodeXmlText(markup.substr(start, close - start));
    result.wellFormed = true;
    return result;
}

}  // namespace host
