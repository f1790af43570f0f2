#include "text/utf8_simd.h"

#include <array>
#include <atomic>

// The build targets baseline x86-64, so the kernels carry their instruction
// set as a function attribute and are only called once the processor has
// been asked. Elsewhere (32-bit builds) there are no kernels and the callers
// keep to their plain loops.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QN_UTF8_KERNELS 1
#include <immintrin.h>
#else
#define QN_UTF8_KERNELS 0
#endif

namespace {

#if QN_UTF8_KERNELS

// A byte shuffle's control: 0x80 in a place leaves it zero.
struct alignas(16) Shuffle {
    std::uint8_t byte[16];
};

// Decoding gathers, for each sequence that starts in eight bytes, its two
// bytes into one 16-bit lane: a two-byte sequence as (lead, continuation), an
// ASCII byte as (0, byte). The index is nine bits, one per byte that starts a
// sequence, the ninth telling whether the eighth byte is a lead (its
// continuation byte starts nothing).
constexpr std::array<Shuffle, 512> MakeDecodeGathers() {
    std::array<Shuffle, 512> table{};
    for (unsigned starts = 0; starts < 512; ++starts) {
        Shuffle& shuffle = table[starts];
        for (std::uint8_t& b : shuffle.byte)
            b = 0x80;
        unsigned lane = 0;
        for (unsigned s = 0; s < 8; ++s) {
            if (((starts >> s) & 1) == 0)
                continue;
            const bool ascii = ((starts >> (s + 1)) & 1) != 0;
            shuffle.byte[2 * lane] = static_cast<std::uint8_t>(ascii ? 0x80 : s);
            shuffle.byte[2 * lane + 1] = static_cast<std::uint8_t>(ascii ? s : s + 1);
            ++lane;
        }
    }
    return table;
}

// Encoding closes up eight (lead, trail) byte pairs, dropping the trail of
// each ASCII unit. The index has a bit for each unit that takes two bytes.
constexpr std::array<Shuffle, 256> MakeEncodeCompactions() {
    std::array<Shuffle, 256> table{};
    for (unsigned twoBytes = 0; twoBytes < 256; ++twoBytes) {
        Shuffle& shuffle = table[twoBytes];
        for (std::uint8_t& b : shuffle.byte)
            b = 0x80;
        unsigned k = 0;
        for (unsigned unit = 0; unit < 8; ++unit) {
            shuffle.byte[k++] = static_cast<std::uint8_t>(2 * unit);
            if ((twoBytes >> unit) & 1)
                shuffle.byte[k++] = static_cast<std::uint8_t>(2 * unit + 1);
        }
    }
    return table;
}

// Moves a register's bytes down by 0 to 16 places.
constexpr std::array<Shuffle, 17> MakeShiftsDown() {
    std::array<Shuffle, 17> table{};
    for (unsigned by = 0; by <= 16; ++by) {
        for (unsigned k = 0; k < 16; ++k)
            table[by].byte[k] = static_cast<std::uint8_t>(k + by < 16 ? k + by : 0x80);
    }
    return table;
}

// Bits set in a byte; not every processor with SSSE3 has an instruction for it.
constexpr std::array<std::uint8_t, 256> MakeBitCounts() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        for (unsigned k = b; k != 0; k &= k - 1)
            ++table[b];
    }
    return table;
}

constexpr std::array<Shuffle, 512> kDecodeGathers = MakeDecodeGathers();
constexpr std::array<Shuffle, 256> kEncodeCompactions = MakeEncodeCompactions();
constexpr std::array<Shuffle, 17> kShiftsDown = MakeShiftsDown();
constexpr std::array<std::uint8_t, 256> kBitCounts = MakeBitCounts();

#define QN_SSSE3 __attribute__((target("ssse3")))
#define QN_AVX2 __attribute__((target("avx2")))

QN_SSSE3 inline __m128i Control(const std::array<Shuffle, 512>& table, unsigned index) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(table[index].byte));
}

QN_SSSE3 inline __m128i Control(const std::array<Shuffle, 256>& table, unsigned index) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(table[index].byte));
}

QN_SSSE3 inline __m128i ShiftDown(__m128i v, unsigned bytes) {
    return _mm_shuffle_epi8(
        v, _mm_load_si128(reinterpret_cast<const __m128i*>(kShiftsDown[bytes].byte)));
}

// Whether byte `b` is a continuation byte (0x80-0xBF), as 0 or 1.
inline unsigned IsContinuation(std::uint8_t b) {
    return static_cast<std::uint8_t>(b - 0x80) < 0x40 ? 1u : 0u;
}

// Stores the first `count` (4 to 8) code units of `units`, exactly.
QN_SSSE3 inline void StoreUnits(char16_t* o, __m128i units, unsigned count) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), units);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + count - 4), ShiftDown(units, 2 * (count - 4)));
}

// Stores the first `count` (8 to 16) bytes of `bytes`, exactly.
QN_SSSE3 inline void StoreBytes(char* o, __m128i bytes, unsigned count) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), bytes);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + count - 8), ShiftDown(bytes, count - 8));
}

// Code units from gathered (lead, continuation) or (0, ASCII) byte pairs.
QN_SSSE3 inline __m128i UnitsFromPairs(__m128i pairs) {
    return _mm_or_si128(_mm_slli_epi16(_mm_and_si128(pairs, _mm_set1_epi16(0x1F)), 6),
                        _mm_and_si128(_mm_srli_epi16(pairs, 8), _mm_set1_epi16(0x7F)));
}

QN_AVX2 inline __m256i UnitsFromPairs(__m256i pairs) {
    return _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(pairs, _mm256_set1_epi16(0x1F)), 6),
                           _mm256_and_si256(_mm256_srli_epi16(pairs, 8), _mm256_set1_epi16(0x7F)));
}

// A block is taken when its bytes pair up as the sequential rules pair them:
// no lead of a longer sequence, every two-byte lead followed by a
// continuation byte (the one after the block included) and every
// continuation byte preceded by a lead. Each group of eight bytes then starts
// four to eight sequences, which the exact stores below rely on.
//
// 32 bytes at a time in four groups of eight; needs 40 readable bytes (the
// last group's gather reads from byte 24) and room for 32 code units.
template <bool kStopAtZero>
QN_SSSE3 void DecodeSsse3(const std::uint8_t*& p, const std::uint8_t* end, char16_t*& o,
                          const char16_t* outEnd) {
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 40 && outEnd - o >= 32) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        if (kStopAtZero) {
            // A zero byte, or a C0 lead that may make an over-long zero: the
            // sequential rules end the text there.
            const __m128i c0 = _mm_set1_epi8(-0x40);
            const __m128i stops = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(first, zero), _mm_cmpeq_epi8(first, c0)),
                _mm_or_si128(_mm_cmpeq_epi8(second, zero), _mm_cmpeq_epi8(second, c0)));
            if (_mm_movemask_epi8(stops) != 0)
                break;
        }
        const auto high = static_cast<std::uint32_t>(_mm_movemask_epi8(first)) |
                          static_cast<std::uint32_t>(_mm_movemask_epi8(second)) << 16;
        if (high == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(first, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(first, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_unpacklo_epi8(second, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 24), _mm_unpackhi_epi8(second, zero));
            p += 32;
            o += 32;
            continue;
        }
        const __m128i below = _mm_set1_epi8(-0x40);
        const __m128i above = _mm_set1_epi8(-0x21);
        const std::uint64_t continuations =
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpgt_epi8(below, first))) |
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpgt_epi8(below, second))) << 16 |
            std::uint64_t{IsContinuation(p[32])} << 32;
        const std::uint32_t longer =
            (static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpgt_epi8(first, above))) |
             static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpgt_epi8(second, above))) << 16) &
            high;
        const std::uint32_t leads = high & ~static_cast<std::uint32_t>(continuations);
        if (longer != 0 || std::uint64_t{leads} << 1 != continuations)
            break;

        const std::uint64_t starts = ~continuations;
        const auto group0 = static_cast<unsigned>(starts & 0x1FF);
        const auto group1 = static_cast<unsigned>((starts >> 8) & 0x1FF);
        const auto group2 = static_cast<unsigned>((starts >> 16) & 0x1FF);
        const auto group3 = static_cast<unsigned>((starts >> 24) & 0x1FF);
        const __m128i units0 =
            UnitsFromPairs(_mm_shuffle_epi8(first, Control(kDecodeGathers, group0)));
        const __m128i units1 = UnitsFromPairs(
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)),
                             Control(kDecodeGathers, group1)));
        const __m128i units2 =
            UnitsFromPairs(_mm_shuffle_epi8(second, Control(kDecodeGathers, group2)));
        const __m128i units3 = UnitsFromPairs(
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 24)),
                             Control(kDecodeGathers, group3)));
        const unsigned count0 = kBitCounts[group0 & 0xFF];
        const unsigned count1 = kBitCounts[group1 & 0xFF];
        const unsigned count2 = kBitCounts[group2 & 0xFF];
        const unsigned count3 = kBitCounts[group3 & 0xFF];
        // Each store's spare places are overwritten by the next one.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), units0);
        o += count0;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), units1);
        o += count1;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), units2);
        o += count2;
        StoreUnits(o, units3, count3);
        o += count3;
        p += 32 + (leads >> 31);
    }
}

// The same with 32-byte registers: two shuffles gather all four groups.
template <bool kStopAtZero>
QN_AVX2 void DecodeAvx2(const std::uint8_t*& p, const std::uint8_t* end, char16_t*& o,
                        const char16_t* outEnd) {
    const __m256i zero = _mm256_setzero_si256();
    while (end - p >= 40 && outEnd - o >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        if (kStopAtZero) {
            const __m256i stops = _mm256_or_si256(_mm256_cmpeq_epi8(v, zero),
                                                  _mm256_cmpeq_epi8(v, _mm256_set1_epi8(-0x40)));
            if (_mm256_movemask_epi8(stops) != 0)
                break;
        }
        const auto high = static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
        if (high == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(o),
                                _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 16),
                                _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)));
            p += 32;
            o += 32;
            continue;
        }
        const std::uint64_t continuations = static_cast<std::uint32_t>(_mm256_movemask_epi8(
                                                _mm256_cmpgt_epi8(_mm256_set1_epi8(-0x40), v))) |
                                            std::uint64_t{IsContinuation(p[32])} << 32;
        const std::uint32_t longer = static_cast<std::uint32_t>(_mm256_movemask_epi8(
                                         _mm256_cmpgt_epi8(v, _mm256_set1_epi8(-0x21)))) &
                                     high;
        const std::uint32_t leads = high & ~static_cast<std::uint32_t>(continuations);
        if (longer != 0 || std::uint64_t{leads} << 1 != continuations)
            break;

        const std::uint64_t starts = ~continuations;
        const auto group0 = static_cast<unsigned>(starts & 0x1FF);
        const auto group1 = static_cast<unsigned>((starts >> 8) & 0x1FF);
        const auto group2 = static_cast<unsigned>((starts >> 16) & 0x1FF);
        const auto group3 = static_cast<unsigned>((starts >> 24) & 0x1FF);
        // Groups 0 and 2 gather from bytes 0-15 and 16-31, groups 1 and 3
        // from bytes 8-23 and 24-39: one shuffle per 32-byte register.
        const __m256i even = _mm256_shuffle_epi8(
            v, _mm256_inserti128_si256(_mm256_castsi128_si256(Control(kDecodeGathers, group0)),
                                       Control(kDecodeGathers, group2), 1));
        const __m256i odd = _mm256_shuffle_epi8(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 8)),
            _mm256_inserti128_si256(_mm256_castsi128_si256(Control(kDecodeGathers, group1)),
                                    Control(kDecodeGathers, group3), 1));
        const __m256i evenUnits = UnitsFromPairs(even);
        const __m256i oddUnits = UnitsFromPairs(odd);
        const unsigned count0 = kBitCounts[group0 & 0xFF];
        const unsigned count1 = kBitCounts[group1 & 0xFF];
        const unsigned count2 = kBitCounts[group2 & 0xFF];
        const unsigned count3 = kBitCounts[group3 & 0xFF];
        // Each store's spare places are overwritten by the next one.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(evenUnits));
        o += count0;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(oddUnits));
        o += count1;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_extracti128_si256(evenUnits, 1));
        o += count2;
        StoreUnits(o, _mm256_extracti128_si256(oddUnits, 1), count3);
        o += count3;
        p += 32 + (leads >> 31);
    }
}

// Encoding: each unit below U+0800 as a (lead, trail) byte pair, an ASCII
// unit as (unit, 0); then the trails of ASCII units are dropped. Each group
// of eight units gives eight to sixteen bytes.
QN_SSSE3 inline __m128i BytePairs(__m128i v, __m128i ascii) {
    const __m128i lead = _mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(0xC0));
    const __m128i trail =
        _mm_or_si128(_mm_and_si128(v, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
    const __m128i pair = _mm_or_si128(lead, _mm_slli_epi16(trail, 8));
    return _mm_or_si128(_mm_and_si128(ascii, v), _mm_andnot_si128(ascii, pair));
}

// Closes up one group's byte pairs; `count` gets the number of bytes.
QN_SSSE3 inline __m128i EncodeGroup(__m128i v, unsigned& count) {
    const __m128i ascii =
        _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x80)), _mm_setzero_si128());
    const auto twoBytes =
        ~static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii, ascii))) & 0xFF;
    count = 8 + kBitCounts[twoBytes];
    return _mm_shuffle_epi8(BytePairs(v, ascii), Control(kEncodeCompactions, twoBytes));
}

// 32 units at a time in four groups; needs 32 readable units and room for 64
// bytes.
QN_SSSE3 void EncodeSsse3(const char16_t*& p, const char16_t* end, char*& o, const char* outEnd) {
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 32 && outEnd - o >= 64) {
        __m128i v[4];
        for (int k = 0; k < 4; ++k)
            v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8 * k));
        const __m128i all = _mm_or_si128(_mm_or_si128(v[0], v[1]), _mm_or_si128(v[2], v[3]));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(all, _mm_set1_epi16(-0x80)), zero)) ==
            0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v[0], v[1]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_packus_epi16(v[2], v[3]));
            p += 32;
            o += 32;
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(all, _mm_set1_epi16(-0x800)), zero)) !=
            0xFFFF)
            break;
        unsigned count[4];
        __m128i bytes[4];
        for (int k = 0; k < 4; ++k)
            bytes[k] = EncodeGroup(v[k], count[k]);
        // Each store's spare places are overwritten by the next one.
        for (int k = 0; k < 3; ++k) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), bytes[k]);
            o += count[k];
        }
        StoreBytes(o, bytes[3], count[3]);
        o += count[3];
        p += 32;
    }
}

// 32 units at a time in four groups; needs 32 readable units and room for 64
// bytes.
QN_AVX2 void EncodeAvx2(const char16_t*& p, const char16_t* end, char*& o, const char* outEnd) {
    const __m256i zero = _mm256_setzero_si256();
    while (end - p >= 32 && outEnd - o >= 64) {
        const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 16));
        const __m256i both = _mm256_or_si256(v0, v1);
        if (_mm256_testz_si256(both, _mm256_set1_epi16(-0x80))) {
            // Pack works within 16-byte halves: units 0-7, 16-23, 8-15, 24-31.
            const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(v0, v1), 0xD8);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), packed);
            p += 32;
            o += 32;
            continue;
        }
        if (!_mm256_testz_si256(both, _mm256_set1_epi16(-0x800)))
            break;
        const __m256i ascii0 =
            _mm256_cmpeq_epi16(_mm256_and_si256(v0, _mm256_set1_epi16(-0x80)), zero);
        const __m256i ascii1 =
            _mm256_cmpeq_epi16(_mm256_and_si256(v1, _mm256_set1_epi16(-0x80)), zero);
        // Bits 0-7 and 16-23: units 0-7 and 8-15 of v0; bits 8-15 and 24-31
        // the same of v1.
        const auto twoBytes =
            ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_packs_epi16(ascii0, ascii1)));
        const unsigned group0 = twoBytes & 0xFF;
        const unsigned group1 = (twoBytes >> 16) & 0xFF;
        const unsigned group2 = (twoBytes >> 8) & 0xFF;
        const unsigned group3 = twoBytes >> 24;
        const __m256i lead0 = _mm256_or_si256(_mm256_srli_epi16(v0, 6), _mm256_set1_epi16(0xC0));
        const __m256i lead1 = _mm256_or_si256(_mm256_srli_epi16(v1, 6), _mm256_set1_epi16(0xC0));
        const __m256i trail0 = _mm256_slli_epi16(
            _mm256_or_si256(_mm256_and_si256(v0, _mm256_set1_epi16(0x3F)), _mm256_set1_epi16(0x80)),
            8);
        const __m256i trail1 = _mm256_slli_epi16(
            _mm256_or_si256(_mm256_and_si256(v1, _mm256_set1_epi16(0x3F)), _mm256_set1_epi16(0x80)),
            8);
        const __m256i pairs0 = _mm256_blendv_epi8(_mm256_or_si256(lead0, trail0), v0, ascii0);
        const __m256i pairs1 = _mm256_blendv_epi8(_mm256_or_si256(lead1, trail1), v1, ascii1);
        const __m256i bytes0 = _mm256_shuffle_epi8(
            pairs0,
            _mm256_inserti128_si256(_mm256_castsi128_si256(Control(kEncodeCompactions, group0)),
                                    Control(kEncodeCompactions, group1), 1));
        const __m256i bytes1 = _mm256_shuffle_epi8(
            pairs1,
            _mm256_inserti128_si256(_mm256_castsi128_si256(Control(kEncodeCompactions, group2)),
                                    Control(kEncodeCompactions, group3), 1));
        const unsigned count0 = 8 + kBitCounts[group0];
        const unsigned count1 = 8 + kBitCounts[group1];
        const unsigned count2 = 8 + kBitCounts[group2];
        const unsigned count3 = 8 + kBitCounts[group3];
        // Each store's spare places are overwritten by the next one.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(bytes0));
        o += count0;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_extracti128_si256(bytes0, 1));
        o += count1;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(bytes1));
        o += count2;
        StoreBytes(o, _mm256_extracti128_si256(bytes1, 1), count3);
        o += count3;
        p += 32;
    }
}

Utf8Kernel BestKernel() {
    __builtin_cpu_init();
#if !defined(_WIN32)
    // Not on Windows: its 64-bit compiler does not align the stack for
    // 32-byte spills.
    if (__builtin_cpu_supports("avx2"))
        return Utf8Kernel::kAvx2;
#endif
    if (__builtin_cpu_supports("ssse3"))
        return Utf8Kernel::kSsse3;
    return Utf8Kernel::kNone;
}

#else

Utf8Kernel BestKernel() {
    return Utf8Kernel::kNone;
}

#endif

constexpr int kUnchosen = -1;
std::atomic<int> activeKernel{kUnchosen};

}  // namespace

bool Utf8KernelSupported(Utf8Kernel kernel) {
    const Utf8Kernel best = BestKernel();
    return kernel == Utf8Kernel::kNone || kernel == best ||
           (kernel == Utf8Kernel::kSsse3 && best == Utf8Kernel::kAvx2);
}

Utf8Kernel ActiveUtf8Kernel() {
    int kernel = activeKernel.load(std::memory_order_relaxed);
    if (kernel == kUnchosen) {
        kernel = static_cast<int>(BestKernel());
        activeKernel.store(kernel, std::memory_order_relaxed);
    }
    return static_cast<Utf8Kernel>(kernel);
}

bool SelectUtf8Kernel(Utf8Kernel kernel) {
    if (!Utf8KernelSupported(kernel))
        return false;
    activeKernel.store(static_cast<int>(kernel), std::memory_order_relaxed);
    return true;
}

void DecodeTwoByteBlocks(const std::uint8_t*& p, const std::uint8_t* end, char16_t*& o,
                         const char16_t* outEnd, bool stopAtZero) {
#if QN_UTF8_KERNELS
    switch (ActiveUtf8Kernel()) {
        case Utf8Kernel::kAvx2:
            return stopAtZero ? DecodeAvx2<true>(p, end, o, outEnd)
                              : DecodeAvx2<false>(p, end, o, outEnd);
        case Utf8Kernel::kSsse3:
            return stopAtZero ? DecodeSsse3<true>(p, end, o, outEnd)
                              : DecodeSsse3<false>(p, end, o, outEnd);
        case Utf8Kernel::kNone:
            return;
    }
#else
    (void)p, (void)end, (void)o, (void)outEnd, (void)stopAtZero;
#endif
}

void EncodeTwoByteBlocks(const char16_t*& p, const char16_t* end, char*& o, const char* outEnd) {
#if QN_UTF8_KERNELS
    switch (ActiveUtf8Kernel()) {
        case Utf8Kernel::kAvx2:
            return EncodeAvx2(p, end, o, outEnd);
        case Utf8Kernel::kSsse3:
            return EncodeSsse3(p, end, o, outEnd);
        case Utf8Kernel::kNone:
            return;
    }
#else
    (void)p, (void)end, (void)o, (void)outEnd;
#endif
}
