// Reading back the markup the engine hands to a host for one chunk: an
// optional Errors element, then one Translation element, each on its own line,
// with content that is safe XML text. Shared by the fault tests and the
// fuzz targets, so both hold the engine to the same rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace markup {

// Control characters that must never reach the host raw.
inline bool IsForbiddenControl(char16_t c) {
    if (c == u'\t' || c == u'\n' || c == u'\r') {
        return false;
    }
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Undoes the engine's escaping: the three named entities and decimal
// references. Returns nullopt for anything else after "&", for a reference
// with a leading zero or one that does not end in ";", and for raw "<", ">"
// or a forbidden control character, so that a successful result also proves
// the content was well formed.
inline std::optional<std::u16string> Unescape(std::u16string_view content) {
    std::u16string out;
    std::size_t i = 0;
    while (i < content.size()) {
        const char16_t c = content[i];
        if (c == u'<' || c == u'>' || IsForbiddenControl(c)) {
            return std::nullopt;
        }
        if (c != u'&') {
            out.push_back(c);
            ++i;
            continue;
        }
        const std::u16string_view rest = content.substr(i);
        if (rest.starts_with(u"&amp;")) {
            out.push_back(u'&');
            i += 5;
        } else if (rest.starts_with(u"&lt;")) {
            out.push_back(u'<');
            i += 4;
        } else if (rest.starts_with(u"&gt;")) {
            out.push_back(u'>');
            i += 4;
        } else if (rest.starts_with(u"&#")) {
            std::size_t j = 2;
            std::uint32_t value = 0;
            while (j < rest.size() && j < 8 && rest[j] >= u'0' && rest[j] <= u'9') {
                value = value * 10 + static_cast<std::uint32_t>(rest[j] - u'0');
                ++j;
            }
            const bool leadingZero = j > 3 && rest[2] == u'0';
            if (j == 2 || leadingZero || j >= rest.size() || rest[j] != u';' || value > 0xFFFF) {
                return std::nullopt;
            }
            out.push_back(static_cast<char16_t>(value));
            i += j + 1;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

struct SegmentMarkup {
    bool hasErrors = false;
    std::u16string errors;       // the Errors element's content, unescaped
    std::u16string translation;  // the Translation element's content, unescaped
};

// Parses the markup of one chunk; nullopt (with the reason in `why`) when it
// is not exactly [<Errors>..</Errors>\n]<Translation>..</Translation>\n with
// well-formed content.
inline std::optional<SegmentMarkup> ParseSegment(std::u16string_view text,
                                                 std::string* why = nullptr) {
    auto fail = [why](const char* reason) -> std::optional<SegmentMarkup> {
        if (why != nullptr) {
            *why = reason;
        }
        return std::nullopt;
    };
    // Takes one "<tag>content</tag>\n" off the front of `text`.
    auto element = [&text](std::u16string_view tag) -> std::optional<std::u16string_view> {
        std::u16string open = u"<";
        open.append(tag).append(u">");
        std::u16string close = u"</";
        close.append(tag).append(u">\n");
        if (!text.starts_with(open)) {
            return std::nullopt;
        }
        const std::size_t end = text.find(close, open.size());
        if (end == std::u16string_view::npos) {
            return std::nullopt;
        }
        std::u16string_view content = text.substr(open.size(), end - open.size());
        text.remove_prefix(end + close.size());
        return content;
    };

    SegmentMarkup result;
    if (text.starts_with(u"<Errors>")) {
        std::optional<std::u16string_view> errors = element(u"Errors");
        if (!errors) {
            return fail("an Errors element that is not closed on its line");
        }
        std::optional<std::u16string> plain = Unescape(*errors);
        if (!plain) {
            return fail("Errors content that is not escaped text");
        }
        result.hasErrors = true;
        result.errors = std::move(*plain);
    }
    std::optional<std::u16string_view> translation = element(u"Translation");
    if (!translation) {
        return fail("no Translation element where one must be");
    }
    if (!text.empty()) {
        return fail("text after the Translation element");
    }
    std::optional<std::u16string> plain = Unescape(*translation);
    if (!plain) {
        return fail("Translation content that is not escaped text");
    }
    result.translation = std::move(*plain);
    return result;
}

}  // namespace markup
