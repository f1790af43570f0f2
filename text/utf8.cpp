#include "text/utf8.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/utf8_simd.h"

// Both directions take the text in blocks where they can: ASCII, and ASCII
// mixed with two-byte sequences (most alphabets), with the byte-shuffle
// kernels of text/utf8_simd.h where the processor has them, else 16 bytes or
// 8 code units at a time. Runs of three-byte sequences (CJK) stay in a loop of their own, and
// anything else goes one sequence at a time by the general rules. Nothing is
// ever written beyond what is counted.

namespace {

// Continuation bytes that follow each lead byte. 0x80-0xBF (stray
// continuation bytes) count as one-byte sequences.
constexpr std::uint8_t TrailingBytes(std::uint8_t lead) {
    return lead < 0xC0   ? 0
           : lead < 0xE0 ? 1
           : lead < 0xF0 ? 2
           : lead < 0xF8 ? 3
           : lead < 0xFC ? 4
                         : 5;
}

// What the marker bits of a sequence of 1 to 6 bytes add up to once every byte
// has been summed with 6-bit shifts; subtracting it leaves the payload.
constexpr std::uint32_t kSequenceOffset[7] = {0,         0,          0x3080,    0xE2080,
                                              0x3C82080, 0xFA082080, 0x82082080};

// Copies ASCII bytes as code units while they last (and, when asked, up to a
// zero byte), as far as input and output allow.
template <bool kStopAtZero>
void CopyAscii(const std::uint8_t*& p, const std::uint8_t* end, char16_t*& o,
               const char16_t* outEnd) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16 && outEnd - o >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        int stops = _mm_movemask_epi8(chunk);
        if (kStopAtZero) {
            stops |= _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, zero));
        }
        if (stops != 0) {
            const int ascii = std::countr_zero(static_cast<unsigned>(stops));
            for (int i = 0; i < ascii; ++i) {
                o[i] = p[i];
            }
            p += ascii;
            o += ascii;
            return;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(chunk, zero));
        p += 16;
        o += 16;
    }
#else
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    constexpr std::uint64_t kLowBits = 0x0101010101010101ull;
    while (end - p >= 8 && outEnd - o >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if ((word & kHighBits) || (kStopAtZero && ((word - kLowBits) & ~word & kHighBits)))
            break;
        for (int i = 0; i < 8; ++i)
            o[i] = p[i];
        p += 8;
        o += 8;
    }
#endif
    while (p < end && o < outEnd && *p < 0x80 && (!kStopAtZero || *p != 0)) {
        *o++ = *p++;
    }
}

#if defined(__SSE2__)
// Decodes the 16 bytes at `p` when they hold only ASCII and two-byte
// sequences paired the way the sequential rules pair them (a lead byte in the
// last place takes the 17th byte along); returns false, having done nothing,
// for any other block (and, when asked, for one that decodes to a zero unit).
// Needs 17 readable bytes and room for 16 code units.
template <bool kStopAtZero>
bool DecodeSimpleBlock(const std::uint8_t*& p, char16_t*& o) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
    if (high == 0) {
        if (kStopAtZero && _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)) != 0)
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(v, zero));
        p += 16;
        o += 16;
        return true;
    }
    // Byte classes by signed comparison: 0x80-0xBF continuation, 0xC0-0xDF
    // two-byte lead, 0xE0-0xFF longer lead.
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i continuation = _mm_cmplt_epi8(v, _mm_set1_epi8(-64));
    const __m128i lead =
        _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(-65)), _mm_cmplt_epi8(v, _mm_set1_epi8(-32)));
    const unsigned longer =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(v, _mm_set1_epi8(-33)))) & high;
    const unsigned leads = static_cast<unsigned>(_mm_movemask_epi8(lead));
    const unsigned continuations = static_cast<unsigned>(_mm_movemask_epi8(continuation));
    const unsigned nextContinuations =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(next, _mm_set1_epi8(-64))));
    // Every lead followed by a continuation byte and every continuation byte
    // after a lead: then each byte is what it looks like.
    if (longer != 0 || leads != nextContinuations || (continuations & 1) != 0)
        return false;

    // Per byte: its code unit if it starts a sequence (ASCII, or a lead with
    // the next byte), else anything; continuation bytes are dropped below.
    const __m128i units[2] = {_mm_unpacklo_epi8(v, zero), _mm_unpackhi_epi8(v, zero)};
    const __m128i follows[2] = {_mm_unpacklo_epi8(next, zero), _mm_unpackhi_epi8(next, zero)};
    alignas(16) char16_t decoded[16];
    __m128i zeros = zero;
    for (int half = 0; half < 2; ++half) {
        const __m128i byte = units[half];
        const __m128i isLead =
            _mm_cmpeq_epi16(_mm_and_si128(byte, _mm_set1_epi16(0xE0)), _mm_set1_epi16(0xC0));
        const __m128i pair =
            _mm_or_si128(_mm_slli_epi16(_mm_and_si128(byte, _mm_set1_epi16(0x1F)), 6),
                         _mm_and_si128(follows[half], _mm_set1_epi16(0x3F)));
        const __m128i unit =
            _mm_or_si128(_mm_and_si128(isLead, pair), _mm_andnot_si128(isLead, byte));
        if (kStopAtZero)
            zeros = _mm_or_si128(zeros, _mm_cmpeq_epi16(unit, zero));
        _mm_store_si128(reinterpret_cast<__m128i*>(decoded + 8 * half), unit);
    }
    if (kStopAtZero && _mm_movemask_epi8(zeros) != 0)
        return false;  // an over-long zero: the scalar rules end the text there

    // Keep every unit but those of continuation bytes. A dropped unit's
    // store is overwritten by the next kept one; the last place is only
    // stored when kept, so nothing lands beyond what is counted.
    const unsigned keep = ~continuations;
    std::size_t j = 0;
    for (int k = 0; k < 15; ++k) {
        o[j] = decoded[k];
        j += (keep >> k) & 1;
    }
    if ((keep >> 15) & 1)
        o[j++] = decoded[15];
    o += j;
    p += 16 + ((leads >> 15) & 1);
    return true;
}
#endif

#if defined(__SSE2__)
// Hands text that looks like ASCII and two-byte sequences to the block
// kernel; true when it took any. Called at the outset and where a two-byte
// sequence turns up, not on every turn of the loop below, so that text of
// longer sequences does not pay for a look that fails.
template <bool kStopAtZero>
bool KernelDecode(const std::uint8_t*& p, const std::uint8_t* end, char16_t*& o,
                  const char16_t* outEnd) {
    const std::uint8_t* from = p;
    char16_t* to = o;
    DecodeTwoByteBlocks(from, end, to, outEnd, kStopAtZero);
    const bool took = from != p;
    p = from;
    o = to;
    return took;
}
#endif

template <bool kStopAtZero>
std::size_t Decode(const char* bytes, std::size_t size, char16_t* out, std::size_t capacity,
                   std::size_t* read) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes);
    const auto* const end = p + size;
    char16_t* o = out;
    char16_t* const outEnd = out + capacity;

#if defined(__SSE2__)
    KernelDecode<kStopAtZero>(p, end, o, outEnd);
#endif
    while (p < end) {
#if defined(__SSE2__)
        while (end - p >= 17 && outEnd - o >= 16 && DecodeSimpleBlock<kStopAtZero>(p, o)) {
        }
        if (p == end)
            break;
#endif
        std::uint8_t lead = *p;
        if (lead < 0x80) {
            CopyAscii<kStopAtZero>(p, end, o, outEnd);
            if (p == end || o == outEnd || *p < 0x80)
                break;  // done, full, or at the zero byte that ends the text
            lead = *p;
        }
        if (o == outEnd)
            break;  // every sequence gives at least one code unit

        if (lead < 0xC0) {
            *o++ = lead;  // stray continuation byte
            ++p;
            continue;
        }

        if (lead < 0xE0) {
#if defined(__SSE2__)
            if (KernelDecode<kStopAtZero>(p, end, o, outEnd))
                continue;
#endif
            // A run of two-byte sequences. Their value is at most 0x83F, or
            // wraps below zero for a bad continuation byte (U+FFFD).
            bool stop = false;
            do {
                if (end - p < 2 || o == outEnd) {
                    stop = true;
                    break;
                }
                std::uint32_t value = (std::uint32_t{lead} << 6) + p[1] - kSequenceOffset[2];
                if (value > 0xFFFF)
                    value = 0xFFFD;
                if (kStopAtZero && value == 0) {
                    stop = true;
                    break;
                }
                *o++ = static_cast<char16_t>(value);
                p += 2;
            } while (p < end && (lead = *p, lead >= 0xC0 && lead < 0xE0));
            if (stop)
                break;
            continue;
        }

        if (lead < 0xF0) {
            // A run of three-byte sequences. Bad continuation bytes can give a
            // value beyond U+FFFF; the general path below deals with those.
            bool stop = false;
            bool general = false;
            do {
                if (end - p < 3 || o == outEnd) {
                    stop = true;
                    break;
                }
                const std::uint32_t value = (std::uint32_t{lead} << 12) +
                                            (std::uint32_t{p[1]} << 6) + p[2] - kSequenceOffset[3];
                if (value > 0xFFFF) {
                    general = true;
                    break;
                }
                if (kStopAtZero && value == 0) {
                    stop = true;
                    break;
                }
                *o++ = static_cast<char16_t>(value);
                p += 3;
            } while (p < end && (lead = *p, lead >= 0xE0 && lead < 0xF0));
            if (stop)
                break;
            if (!general)
                continue;
        }

        // Any sequence, one at a time.
        const std::size_t trailing = TrailingBytes(lead);
        if (static_cast<std::size_t>(end - p) <= trailing)
            break;  // runs past the input
        std::uint32_t value = lead;
        for (std::size_t i = 1; i <= trailing; ++i)
            value = (value << 6) + p[i];
        value -= kSequenceOffset[trailing + 1];

        if (value <= 0xFFFF) {
            if (kStopAtZero && value == 0)
                break;
            *o++ = static_cast<char16_t>(value);
        } else if (value <= 0x10FFFF) {
            if (outEnd - o < 2)
                break;
            *o++ = static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (value & 0x3FF));
        } else {
            *o++ = u'\uFFFD';
        }
        p += trailing + 1;
    }
    if (read)
        *read = static_cast<std::size_t>(p - reinterpret_cast<const std::uint8_t*>(bytes));
    return static_cast<std::size_t>(o - out);
}

// Writes code units below 0x80 as bytes while they last, as far as input and
// output allow.
void CopyAsciiUnits(const char16_t* text, std::size_t size, std::size_t& i, char* out,
                    std::size_t capacity, std::size_t& o) {
#if defined(__SSE2__)
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    while (size - i >= 16 && capacity - o >= 16) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 8));
        const __m128i above = _mm_and_si128(_mm_or_si128(first, second), high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(above, zero)) != 0xFFFF)
            break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o), _mm_packus_epi16(first, second));
        i += 16;
        o += 16;
    }
#else
    while (size - i >= 4 && capacity - o >= 4) {
        std::uint64_t word;
        std::memcpy(&word, text + i, sizeof word);
        if (word & 0xFF80FF80FF80FF80ull)
            break;
        for (int k = 0; k < 4; ++k)
            out[o + k] = static_cast<char>(text[i + k]);
        i += 4;
        o += 4;
    }
#endif
    while (i < size && o < capacity && text[i] < 0x80) {
        out[o++] = static_cast<char>(text[i++]);
    }
}

#if defined(__SSE2__)
// Encodes the 8 code units at text[i] when all are below U+0800 (ASCII and
// two-byte sequences); returns false, having done nothing, for any other
// block. Needs 8 readable units and room for 16 bytes.
bool EncodeSimpleBlock(const char16_t* text, std::size_t& i, char* out, std::size_t& o) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const __m128i shortForm = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x800)), zero);
    if (_mm_movemask_epi8(shortForm) != 0xFFFF)
        return false;
    const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x80)), zero);
    const unsigned asciiMask = static_cast<unsigned>(_mm_movemask_epi8(ascii));
    if (asciiMask == 0xFFFF) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + o), _mm_packus_epi16(v, v));
        i += 8;
        o += 8;
        return true;
    }
    // Both bytes of each unit's sequence side by side, lead byte first; an
    // ASCII unit's second byte is overwritten by whatever follows it.
    const __m128i lead = _mm_or_si128(
        _mm_and_si128(ascii, v),
        _mm_andnot_si128(ascii, _mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(0xC0))));
    const __m128i trail =
        _mm_or_si128(_mm_and_si128(v, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
    alignas(16) char pairs[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(pairs),
                    _mm_or_si128(lead, _mm_slli_epi16(trail, 8)));
    const unsigned twoBytes = ~asciiMask;
    for (int k = 0; k < 7; ++k) {
        std::memcpy(out + o, pairs + 2 * k, 2);
        o += 1 + ((twoBytes >> (2 * k)) & 1);
    }
    // The last unit writes only its own bytes.
    out[o] = pairs[14];
    if ((twoBytes >> 14) & 1)
        out[++o] = pairs[15];
    ++o;
    i += 8;
    return true;
}
#endif

}  // namespace

std::size_t DecodeUtf8(const char* bytes, std::size_t size, char16_t* out, std::size_t capacity) {
    return Decode<false>(bytes, size, out, capacity, nullptr);
}

std::size_t DecodeUtf8Terminated(const char* bytes, std::size_t size, char16_t* out,
                                 std::size_t capacity) {
    std::size_t read = 0;
    std::size_t written = Decode<true>(bytes, size, out, capacity, &read);
    if (read == size || written == capacity)
        return written;

    // Stopped early: at a zero (done), or at a last sequence that needs more
    // bytes than are left. The terminating zero then takes part as one more
    // continuation byte, which completes the sequence only if it was the one
    // byte missing.
    const auto lead = static_cast<std::uint8_t>(bytes[read]);
    const std::size_t left = size - read;
    if (lead == 0 || lead < 0xC0 || left != TrailingBytes(lead))
        return written;
    char tail[8] = {};
    std::memcpy(tail, bytes + read, left);  // tail[left] stays the terminator
    return written + Decode<true>(tail, left + 1, out + written, capacity - written, nullptr);
}

std::size_t EncodeUtf8(const char16_t* text, std::size_t size, char* out, std::size_t capacity) {
    std::size_t i = 0;
    std::size_t o = 0;
    while (i < size) {
        std::uint32_t value = text[i];
        if (value < 0x80) {
            CopyAsciiUnits(text, size, i, out, capacity, o);
            if (i == size || o == capacity || text[i] < 0x80)
                break;
            value = text[i];
        }

#if defined(__SSE2__)
        if (value < 0x800) {
            // Text that mixes ASCII and two-byte sequences: whole blocks with
            // the kernel, then eight units at a time.
            const char16_t* from = text + i;
            char* to = out + o;
            EncodeTwoByteBlocks(from, text + size, to, out + capacity);
            i = static_cast<std::size_t>(from - text);
            o = static_cast<std::size_t>(to - out);
            while (size - i >= 8 && capacity - o >= 16 && EncodeSimpleBlock(text, i, out, o)) {
            }
            if (i == size)
                break;
            value = text[i];
            if (value < 0x80)
                continue;
        }
#endif

        if (value < 0x800) {
            // A run of two-byte sequences.
            do {
                if (capacity - o < 2)
                    return o;
                out[o] = static_cast<char>(0xC0 | (value >> 6));
                out[o + 1] = static_cast<char>(0x80 | (value & 0x3F));
                o += 2;
                ++i;
            } while (i < size && (value = text[i], value >= 0x80 && value < 0x800));
            continue;
        }

        if (value < 0xD800 || value > 0xDFFF) {
            // A run of three-byte sequences (no surrogates among them).
            do {
                if (capacity - o < 3)
                    return o;
                out[o] = static_cast<char>(0xE0 | (value >> 12));
                out[o + 1] = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
                out[o + 2] = static_cast<char>(0x80 | (value & 0x3F));
                o += 3;
                ++i;
            } while (i < size &&
                     (value = text[i], value >= 0x800 && (value < 0xD800 || value > 0xDFFF)));
            continue;
        }

        // A surrogate: a valid pair becomes one four-byte sequence, any other
        // surrogate is encoded on its own as a three-byte sequence.
        if (value <= 0xDBFF && i + 1 < size && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            if (capacity - o < 4)
                break;
            value = ((value - 0xD800) << 10) + (text[i + 1] - 0xDC00u) + 0x10000;
            out[o] = static_cast<char>(0xF0 | (value >> 18));
            out[o + 1] = static_cast<char>(0x80 | ((value >> 12) & 0x3F));
            out[o + 2] = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
            out[o + 3] = static_cast<char>(0x80 | (value & 0x3F));
            o += 4;
            i += 2;
        } else {
            if (capacity - o < 3)
                break;
            out[o] = static_cast<char>(0xE0 | (value >> 12));
            out[o + 1] = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
            out[o + 2] = static_cast<char>(0x80 | (value & 0x3F));
            o += 3;
            ++i;
        }
    }
    return o;
}

std::uint64_t EncodedUtf8Size(const char16_t* text, std::size_t size) {
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            bytes += 1;
        } else if (unit < 0x800) {
            bytes += 2;
        } else if (unit <= 0xDBFF && unit >= 0xD800 && i + 1 < size && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}
