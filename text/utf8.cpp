#include "text/utf8.h"

#include <cstdint>
#include <cstring>

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

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
constexpr std::uint64_t kLowBits = 0x0101010101010101ull;

template <bool kStopAtZero>
std::size_t Decode(const char* bytes, std::size_t size, char16_t* out, std::size_t capacity,
                   std::size_t* read) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes);
    const auto* const end = p + size;
    char16_t* o = out;
    char16_t* const outEnd = out + capacity;

    while (p < end) {
        // Eight ASCII bytes at a time; a zero byte leaves the fast path when
        // the caller wants to stop there.
        while (end - p >= 8 && outEnd - o >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if (word & kHighBits)
                break;
            if (kStopAtZero && ((word - kLowBits) & ~word & kHighBits))
                break;
            for (int i = 0; i < 8; ++i)
                o[i] = p[i];
            p += 8;
            o += 8;
        }
        if (p == end)
            break;

        const std::uint8_t lead = *p;
        if (lead < 0xC0) {
            if (o == outEnd)
                break;
            if (kStopAtZero && lead == 0)
                break;
            *o++ = lead;
            ++p;
            continue;
        }

        const std::size_t trailing = TrailingBytes(lead);
        if (static_cast<std::size_t>(end - p) <= trailing)
            break;  // runs past the input
        std::uint32_t value = lead;
        for (std::size_t i = 1; i <= trailing; ++i)
            value = (value << 6) + p[i];
        value -= kSequenceOffset[trailing + 1];

        if (value <= 0xFFFF) {
            if (o == outEnd)
                break;
            if (kStopAtZero && value == 0)
                break;
            *o++ = static_cast<char16_t>(value);
        } else if (value <= 0x10FFFF) {
            if (outEnd - o < 2)
                break;
            *o++ = static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (value & 0x3FF));
        } else {
            if (o == outEnd)
                break;
            *o++ = u'\uFFFD';
        }
        p += trailing + 1;
    }
    if (read)
        *read = static_cast<std::size_t>(p - reinterpret_cast<const std::uint8_t*>(bytes));
    return static_cast<std::size_t>(o - out);
}

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
        // Four ASCII code units at a time.
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
        if (i == size)
            break;

        std::uint32_t value = text[i];
        std::size_t consumed = 1;
        if (value >= 0xD800 && value <= 0xDBFF && i + 1 < size && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            value = ((value - 0xD800) << 10) + (text[i + 1] - 0xDC00u) + 0x10000;
            consumed = 2;
        }

        if (value < 0x80) {
            if (capacity - o < 1)
                break;
            out[o++] = static_cast<char>(value);
        } else if (value < 0x800) {
            if (capacity - o < 2)
                break;
            out[o++] = static_cast<char>(0xC0 | (value >> 6));
            out[o++] = static_cast<char>(0x80 | (value & 0x3F));
        } else if (value < 0x10000) {
            if (capacity - o < 3)
                break;
            out[o++] = static_cast<char>(0xE0 | (value >> 12));
            out[o++] = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
            out[o++] = static_cast<char>(0x80 | (value & 0x3F));
        } else {
            if (capacity - o < 4)
                break;
            out[o++] = static_cast<char>(0xF0 | (value >> 18));
            out[o++] = static_cast<char>(0x80 | ((value >> 12) & 0x3F));
            out[o++] = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
            out[o++] = static_cast<char>(0x80 | (value & 0x3F));
        }
        i += consumed;
    }
    return o;
}
