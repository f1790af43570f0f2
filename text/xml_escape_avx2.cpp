// Thirty-two code units to a step with 256-bit vectors, used when the
// processor has them (the build itself targets baseline x86-64). Left out on
// Windows: its 64-bit ABI aligns the stack to 16 bytes only, and the compiler
// may spill 256-bit values there with aligned moves.
#include "text/xml_escape_kernels.h"
#include "text/xml_escape_rule.h"

#if defined(__x86_64__) && !defined(_WIN32) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

#include <array>
#include <bit>
#include <cstdint>

#define QN_AVX2 __attribute__((target("avx2")))

namespace xml_escape {
namespace {

// A unit below U+0100 needs replacing exactly when the entries for the low
// and the high half of its byte share a bit: bit 0 for 0x00-0x0F without TAB,
// LF and CR, bit 1 for 0x10-0x1F and 0x80-0x9F, bit 2 for "&", bit 3 for "<"
// and ">", bit 4 for 0x7F.
constexpr std::array<std::uint8_t, 16> kLowNibble = {
    0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x07, 0x03, 0x03, 0x02, 0x02, 0x03, 0x0B, 0x02, 0x0B, 0x13};
constexpr std::array<std::uint8_t, 16> kHighNibble = {
    0x01, 0x02, 0x04, 0x08, 0x00, 0x00, 0x00, 0x10, 0x02, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

constexpr bool NibblesFollowTheRule() {
    for (unsigned b = 0; b <= 0xFF; ++b) {
        const bool flagged = (kLowNibble[b & 0xF] & kHighNibble[b >> 4]) != 0;
        if (flagged != NeedsReplacing(static_cast<char16_t>(b)))
            return false;
    }
    return true;
}
static_assert(NibblesFollowTheRule());

QN_AVX2 __m256i Load(const char16_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

QN_AVX2 void Store(char16_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

QN_AVX2 __m256i Table(const std::array<std::uint8_t, 16>& table) {
    return _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data())));
}

// A nonzero byte for each of the 32 units of `a` and `b` that needs
// replacing, in the order a0-7, b0-7, a8-15, b8-15. Units above U+00FF become
// 0xFF, which the tables leave alone.
QN_AVX2 __m256i Flags(__m256i a, __m256i b) {
    const __m256i cap = _mm256_set1_epi16(0xFF);
    const __m256i bytes = _mm256_packus_epi16(_mm256_min_epu16(a, cap), _mm256_min_epu16(b, cap));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i low = _mm256_shuffle_epi8(Table(kLowNibble), _mm256_and_si256(bytes, nibble));
    const __m256i high = _mm256_shuffle_epi8(Table(kHighNibble),
                                             _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble));
    return _mm256_and_si256(low, high);
}

// One bit per unit, unit 0 lowest.
QN_AVX2 std::uint32_t Mask(__m256i a, __m256i b) {
    const __m256i flags = _mm256_permute4x64_epi64(Flags(a, b), 0xD8);
    const __m256i kept = _mm256_cmpeq_epi8(flags, _mm256_setzero_si256());
    return ~static_cast<std::uint32_t>(_mm256_movemask_epi8(kept));
}

QN_AVX2 std::uint32_t Mask(const char16_t* p) {
    return Mask(Load(p), Load(p + 16));
}

QN_AVX2 const char16_t* FindAvx2(const char16_t* p, const char16_t* stop) {
    constexpr std::ptrdiff_t kBlock = 32;
    if (stop - p < kBlock)
        return Sse2Kernels()->find(p, stop);
    for (; stop - p >= 2 * kBlock; p += 2 * kBlock) {
        const __m256i flags =
            _mm256_or_si256(Flags(Load(p), Load(p + 16)), Flags(Load(p + 32), Load(p + 48)));
        if (!_mm256_testz_si256(flags, flags)) {
            if (const std::uint32_t mask = Mask(p); mask != 0)
                return p + std::countr_zero(mask);
            return p + kBlock + std::countr_zero(Mask(p + kBlock));
        }
    }
    if (stop - p >= kBlock) {
        if (const std::uint32_t mask = Mask(p); mask != 0)
            return p + std::countr_zero(mask);
        p += kBlock;
    }
    if (p == stop)
        return stop;
    // The last block overlaps units already found clean, so its first hit
    // is still the first of the range.
    const char16_t* const last = stop - kBlock;
    const std::uint32_t mask = Mask(last);
    return mask != 0 ? last + std::countr_zero(mask) : stop;
}

// Copies 32 units; the caller keeps only those it counts.
QN_AVX2 void CopyBlock(char16_t* out, const char16_t* p) {
    const __m256i a = Load(p);
    const __m256i b = Load(p + 16);
    Store(out, a);
    Store(out + 16, b);
}

QN_AVX2 char16_t* EscapeAvx2(const char16_t* p, const char16_t* stop, const char16_t* readEnd,
                             char16_t* out) {
    constexpr std::ptrdiff_t kBlock = 32;
    // A run copy reads a whole block from anywhere inside the current one.
    while (stop - p >= kBlock && readEnd - p >= 2 * kBlock) {
        const __m256i a = Load(p);
        const __m256i b = Load(p + 16);
        std::uint32_t mask = Mask(a, b);
        if (mask == 0) {
            Store(out, a);
            Store(out + 16, b);
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
    return Sse2Kernels()->escape(p, stop, readEnd, out);
}

constexpr Kernels kAvx2{"avx2", FindAvx2, EscapeAvx2};

}  // namespace

const Kernels* Avx2Kernels() {
    static const bool supported = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return supported ? &kAvx2 : nullptr;
}

}  // namespace xml_escape

#else

namespace xml_escape {

const Kernels* Avx2Kernels() {
    return nullptr;
}

}  // namespace xml_escape

#endif
