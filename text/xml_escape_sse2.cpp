// Eight code units to a vector with the instructions every x86-64 processor
// has; builds without them (the 32-bit product) go without this set.
#include "text/xml_escape_kernels.h"
#include "text/xml_escape_rule.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <bit>
#include <cstdint>

namespace xml_escape {
namespace {

__m128i Load(const char16_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

void Store(char16_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// The sixteen units of `a` and `b` as bytes, units above U+00FF as 0xFF
// (which is never replaced).
__m128i Bytes(__m128i a, __m128i b) {
    const __m128i top = _mm_set1_epi16(0xFF);
    a = _mm_sub_epi16(a, _mm_subs_epu16(a, top));
    b = _mm_sub_epi16(b, _mm_subs_epu16(b, top));
    return _mm_packus_epi16(a, b);
}

// All ones in each byte whose unit needs replacing.
__m128i NeedsReplacingBytes(__m128i x) {
    // "<" and ">" differ only in bit 1.
    const __m128i angle = _mm_cmpeq_epi8(_mm_or_si128(x, _mm_set1_epi8(2)), _mm_set1_epi8(0x3E));
    const __m128i amp = _mm_cmpeq_epi8(x, _mm_set1_epi8(0x26));
    const __m128i c0 = _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(0x1F)), x);
    const __m128i kept = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(0x09)),
                                                   _mm_cmpeq_epi8(x, _mm_set1_epi8(0x0A))),
                                      _mm_cmpeq_epi8(x, _mm_set1_epi8(0x0D)));
    const __m128i c1 =
        _mm_cmpeq_epi8(_mm_subs_epu8(_mm_sub_epi8(x, _mm_set1_epi8(0x7F)), _mm_set1_epi8(0x20)),
                       _mm_setzero_si128());
    return _mm_or_si128(_mm_or_si128(angle, amp), _mm_or_si128(_mm_andnot_si128(kept, c0), c1));
}

// One bit per unit of the sixteen from `a` (low eight) and `b`.
unsigned Mask(__m128i a, __m128i b) {
    return static_cast<unsigned>(_mm_movemask_epi8(NeedsReplacingBytes(Bytes(a, b))));
}

unsigned Mask(const char16_t* p) {
    return Mask(Load(p), Load(p + 8));
}

const char16_t* FindSse2(const char16_t* p, const char16_t* stop) {
    constexpr std::ptrdiff_t kBlock = 16;
    if (stop - p < kBlock)
        return ScalarKernels().find(p, stop);
    for (; stop - p >= 2 * kBlock; p += 2 * kBlock) {
        const __m128i first = NeedsReplacingBytes(Bytes(Load(p), Load(p + 8)));
        const __m128i second = NeedsReplacingBytes(Bytes(Load(p + 16), Load(p + 24)));
        if (_mm_movemask_epi8(_mm_or_si128(first, second)) != 0) {
            const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(first)) |
                                  static_cast<unsigned>(_mm_movemask_epi8(second)) << 16;
            return p + std::countr_zero(mask);
        }
    }
    if (stop - p >= kBlock) {
        if (const unsigned mask = Mask(p); mask != 0)
            return p + std::countr_zero(mask);
        p += kBlock;
    }
    if (p == stop)
        return stop;
    // The last block overlaps units already found clean, so its first hit
    // is still the first of the range.
    const char16_t* const last = stop - kBlock;
    const unsigned mask = Mask(last);
    return mask != 0 ? last + std::countr_zero(mask) : stop;
}

// Copies sixteen units; the caller keeps only those it counts.
void CopyBlock(char16_t* out, const char16_t* p) {
    const __m128i a = Load(p);
    const __m128i b = Load(p + 8);
    Store(out, a);
    Store(out + 8, b);
}

char16_t* EscapeSse2(const char16_t* p, const char16_t* stop, const char16_t* readEnd,
                     char16_t* out) {
    constexpr std::ptrdiff_t kBlock = 16;
    // A run copy reads a whole block from anywhere inside the current one.
    while (stop - p >= kBlock && readEnd - p >= 2 * kBlock) {
        const __m128i a = Load(p);
        const __m128i b = Load(p + 8);
        unsigned mask = Mask(a, b);
        if (mask == 0) {
            Store(out, a);
            Store(out + 8, b);
            out += kBlock;
            p += kBlock;
            continue;
        }
        const char16_t* run = p;
        do {
            const char16_t* const at = p + std::countr_zero(mask);
            CopyBlock(out, run);
            out += at - run;
            out = PutReplacement(*at, out);
            run = at + 1;
            mask &= mask - 1;
        } while (mask != 0);
        CopyBlock(out, run);
        out += p + kBlock - run;
        p += kBlock;
    }
    // Near the end of the text: eight units at a time, reading only from
    // where the last replacement left off.
    while (stop - p >= 8) {
        const __m128i block = Load(p);
        Store(out, block);
        const unsigned mask = Mask(block, block) & 0xFFu;
        if (mask == 0) {
            out += 8;
            p += 8;
            continue;
        }
        const int at = std::countr_zero(mask);
        out = PutReplacement(p[at], out + at);
        p += at + 1;
    }
    return ScalarKernels().escape(p, stop, readEnd, out);
}

constexpr Kernels kSse2{"sse2", FindSse2, EscapeSse2};

}  // namespace

const Kernels* Sse2Kernels() {
    return &kSse2;
}

}  // namespace xml_escape

#else

namespace xml_escape {

const Kernels* Sse2Kernels() {
    return nullptr;
}

}  // namespace xml_escape

#endif
