#include "text/xml_escape.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Control characters are Unicode's category Cc: 0x00-0x1F and 0x7F-0x9F.
// Nothing above U+00FF belongs to it, which keeps the result the same on
// every platform whatever its wide classification tables say.
constexpr char16_t kFirstUnreplaced = 0xA0;

struct Replacement {
    char16_t text[8];  // room for whole-block stores; "&#159;" is the longest
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
constexpr std::array<Replacement, kFirstUnreplaced> kReplacements = [] {
    std::array<Replacement, kFirstUnreplaced> table{};
    for (char16_t c = 0; c < kFirstUnreplaced; ++c)
        table[c] = MakeReplacement(c);
    return table;
}();

bool NeedsReplacing(char16_t c) {
    return c < kFirstUnreplaced && kReplacements[c].length != 0;
}

// A unit the block scan stops at: every unit that needs replacing, plus TAB,
// LF and CR, which a second look lets through (cheaper than excluding them
// in the block test).
bool IsCandidate(char16_t c) {
    return c == u'&' || c == u'<' || c == u'>' || c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

#if defined(__SSE2__)
constexpr std::size_t kBlock = 8;

// All ones in each lane that holds a candidate unit.
__m128i Candidates(__m128i v) {
    const __m128i zero = _mm_setzero_si128();
    // "<" and ">" differ only in bit 1.
    const __m128i angle = _mm_cmpeq_epi16(_mm_or_si128(v, _mm_set1_epi16(2)), _mm_set1_epi16(0x3E));
    const __m128i amp = _mm_cmpeq_epi16(v, _mm_set1_epi16(0x26));
    const __m128i c0 = _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x1F)), zero);
    const __m128i c1 = _mm_cmpeq_epi16(
        _mm_subs_epu16(_mm_sub_epi16(v, _mm_set1_epi16(0x7F)), _mm_set1_epi16(0x20)), zero);
    return _mm_or_si128(_mm_or_si128(angle, amp), _mm_or_si128(c0, c1));
}

// Two mask bits per candidate unit among eight.
unsigned CandidateMask(__m128i v) {
    return static_cast<unsigned>(_mm_movemask_epi8(Candidates(v)));
}

__m128i Load(const char16_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
#endif

// Position of the first unit at or after `i` that needs replacing, or size.
std::size_t FindReplaced(const char16_t* text, std::size_t size, std::size_t i) {
#if defined(__SSE2__)
    while (size - i >= 2 * kBlock) {
        const unsigned first = CandidateMask(Load(text + i));
        const unsigned second = CandidateMask(Load(text + i + kBlock));
        unsigned mask = first | (second << 16);
        while (mask != 0) {
            const std::size_t at = i + std::countr_zero(mask) / 2;
            if (NeedsReplacing(text[at]))
                return at;
            mask &= mask - 1;  // both bits of the unit let through
            mask &= mask - 1;
        }
        i += 2 * kBlock;
    }
#endif
    while (i < size && !NeedsReplacing(text[i]))
        ++i;
    return i;
}

// How many units from `i` on the block scan stops at: an upper bound for the
// number of replacements.
std::size_t CountCandidates(const char16_t* text, std::size_t size, std::size_t i) {
    std::size_t count = 0;
#if defined(__SSE2__)
    // Per-lane counters, emptied before any of them could overflow.
    constexpr std::size_t kBlocksPerRound = 0x7FFF;
    while (size - i >= kBlock) {
        __m128i counters = _mm_setzero_si128();
        for (std::size_t n = 0; n < kBlocksPerRound && size - i >= kBlock; ++n, i += kBlock)
            counters = _mm_sub_epi16(counters, Candidates(Load(text + i)));
        alignas(16) std::uint16_t lanes[kBlock];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), counters);
        for (std::uint16_t lane : lanes)
            count += lane;
    }
#endif
    for (; i < size; ++i)
        count += IsCandidate(text[i]) ? 1 : 0;
    return count;
}

}  // namespace

std::u16string EscapeXmlText(std::u16string_view text) {
    const char16_t* const begin = text.data();
    const std::size_t size = text.size();
    const std::size_t first = FindReplaced(begin, size, 0);
    if (first == size)
        return std::u16string(text);

    // Every replacement is at most six units for one, so the output is sized
    // once, up front; the slack lets a replacement be stored as a whole block.
    constexpr std::size_t kMaxGrowth = 5;
    constexpr std::size_t kSlack = 8;
    std::u16string out(size + kMaxGrowth * CountCandidates(begin, size, first) + kSlack, u'\0');
    char16_t* o = out.data();
    std::memcpy(o, begin, first * sizeof(char16_t));
    o += first;

    const char16_t* p = begin + first;
    const char16_t* const end = begin + size;
#if defined(__SSE2__)
    // Copy eight units at a time, then take back what followed the first
    // candidate and deal with that one.
    while (static_cast<std::size_t>(end - p) >= kBlock) {
        const __m128i block = Load(p);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), block);
        const unsigned mask = CandidateMask(block);
        if (mask == 0) {
            p += kBlock;
            o += kBlock;
            continue;
        }
        const std::size_t at = std::countr_zero(mask) / 2;
        p += at;
        o += at;
        const char16_t c = *p++;
        if (NeedsReplacing(c)) {
            const Replacement& r = kReplacements[c];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), Load(r.text));
            o += r.length;
        } else {
            *o++ = c;
        }
    }
#endif
    for (; p < end; ++p) {
        const char16_t c = *p;
        if (NeedsReplacing(c)) {
            const Replacement& r = kReplacements[c];
            std::memcpy(o, r.text, r.length * sizeof(char16_t));
            o += r.length;
        } else {
            *o++ = c;
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::u16string MakeXmlElement(std::u16string_view tagName, std::u16string_view text) {
    std::u16string out;
    out.reserve(2 * tagName.size() + text.size() + 6);  // "<" ">" "</" ">\n"
    out.push_back(u'<');
    out.append(tagName);
    out.push_back(u'>');
    out.append(text);
    out.append(u"</");
    out.append(tagName);
    out.append(u">\n");
    return out;
}
