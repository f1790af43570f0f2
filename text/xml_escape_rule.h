// The escaping rule for one code unit, shared by every escaping loop: which
// units are replaced and by what.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace xml_escape {

// Control characters are Unicode's category Cc: 0x00-0x1F and 0x7F-0x9F.
// Nothing above U+00FF belongs to it, which keeps the result the same on
// every platform whatever its wide classification tables say.
inline constexpr char16_t kFirstUnreplaced = 0xA0;

// The longest replacement, "&#159;", is six units for one.
inline constexpr std::size_t kMaxGrowth = 6;

struct Replacement {
    char16_t text[8];  // room for whole-block stores
    std::uint8_t length;
};

constexpr Replacement MakeReplacement(char16_t c) {
    Replacement r{};
    auto put = [&r](std::u16string_view s) {
        for (char16_t unit : s)
            r.text[r.length++] = unit;
    };
    if (c == u'&') {
        put(u"&amp;");
    } else if (c == u'<') {
        put(u"&lt;");
    } else if (c == u'>') {
        put(u"&gt;");
    } else if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || (c >= 0x7F && c <= 0x9F)) {
        // "&#N;" with N in decimal.
        put(u"&#");
        if (c >= 100)
            r.text[r.length++] = static_cast<char16_t>(u'0' + c / 100);
        if (c >= 10)
            r.text[r.length++] = static_cast<char16_t>(u'0' + c / 10 % 10);
        r.text[r.length++] = static_cast<char16_t>(u'0' + c % 10);
        put(u";");
    }
    return r;
}

// Replacement of every unit below U+00A0; length 0 where the unit is kept.
inline constexpr std::array<Replacement, kFirstUnreplaced> kReplacements = [] {
    std::array<Replacement, kFirstUnreplaced> table{};
    for (char16_t c = 0; c < kFirstUnreplaced; ++c)
        table[c] = MakeReplacement(c);
    return table;
}();

constexpr bool NeedsReplacing(char16_t c) {
    return c < kFirstUnreplaced && kReplacements[c].length != 0;
}

// Appends the replacement of `c`, which needs replacing, at `out`; writes
// all eight units of the table entry (the caller leaves room) and returns
// the end of the replacement.
inline char16_t* PutReplacement(char16_t c, char16_t* out) {
    const Replacement& r = kReplacements[c];
    std::memcpy(out, r.text, sizeof r.text);
    return out + r.length;
}

}  // namespace xml_escape
