#include "fuzz/support/utf8_reference.h"

namespace utf8_reference {
namespace {

constexpr unsigned kPayloadBitsPerContinuation = 6;
constexpr std::uint8_t kContinuationMarker = 0x80;  // 10xxxxxx
constexpr std::uint8_t kContinuationPayloadMask = (1u << kPayloadBitsPerContinuation) - 1;
constexpr std::size_t kMaxSequenceLength = 6;

// High one bits of a byte: 0 for ASCII, 1 for a continuation byte, else the
// length of the sequence it leads.
constexpr std::size_t LeadingOnes(std::uint8_t byte) {
    std::size_t ones = 0;
    while (ones < 8 && (byte & (0x80u >> ones)) != 0)
        ++ones;
    return ones;
}

// The marker of an n-byte lead: n one bits, then a zero; a one-byte sequence
// (a lone continuation byte too) has none, its byte is its value.
constexpr std::uint8_t LeadMarker(std::size_t length) {
    return length == 1 ? 0 : static_cast<std::uint8_t>(0xFF00u >> length);
}

// Payload bits of an n-byte sequence: what the lead leaves after its marker
// and its zero bit, plus six per continuation byte.
constexpr unsigned PayloadBits(std::size_t length) {
    const unsigned leadBits = length == 1 ? 7 : static_cast<unsigned>(7 - length);
    return leadBits + kPayloadBitsPerContinuation * static_cast<unsigned>(length - 1);
}

constexpr std::size_t SequenceLength(std::uint8_t lead) {
    const std::size_t ones = LeadingOnes(lead);
    return ones <= 1 ? 1 : ones < kMaxSequenceLength ? ones : kMaxSequenceLength;
}

// The units of a value: itself up to 16 bits, a surrogate pair up to
// kMaxCodePoint, U+FFFD beyond.
std::u16string Units(std::uint32_t value) {
    if (value < kFirstSupplementary)
        return std::u16string(1, static_cast<char16_t>(value));
    if (value > kMaxCodePoint)
        return u"\uFFFD";
    const std::uint32_t offset = value - kFirstSupplementary;
    return {static_cast<char16_t>(kHighSurrogateFirst + offset / kSurrogateHalfSize),
            static_cast<char16_t>(kLowSurrogateFirst + offset % kSurrogateHalfSize)};
}

}  // namespace

std::u16string Decode(std::string_view bytes, std::size_t capacity) {
    std::u16string out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<std::uint8_t>(bytes[i]);
        const std::size_t length = SequenceLength(lead);
        if (bytes.size() - i < length)
            break;
        std::uint32_t value = lead - LeadMarker(length);
        for (std::size_t k = 1; k < length; ++k) {
            value = (value << kPayloadBitsPerContinuation) +
                    (static_cast<std::uint8_t>(bytes[i + k]) - std::uint32_t{kContinuationMarker});
        }
        const std::u16string units = Units(value);
        if (capacity - out.size() < units.size())
            break;
        out += units;
        i += length;
    }
    return out;
}

std::u16string DecodeTerminated(std::string_view bytes) {
    std::u16string out = Decode(std::string(bytes) + '\0');
    return out.substr(0, out.find(u'\0'));
}

std::string EncodeCodePoint(char32_t codePoint) {
    std::size_t length = 1;
    while (codePoint >> PayloadBits(length) != 0)
        ++length;
    std::string out(1,
                    static_cast<char>(LeadMarker(length) |
                                      codePoint >> (kPayloadBitsPerContinuation * (length - 1))));
    for (std::size_t k = length - 1; k > 0; --k) {
        out += static_cast<char>(
            kContinuationMarker |
            ((codePoint >> (kPayloadBitsPerContinuation * (k - 1))) & kContinuationPayloadMask));
    }
    return out;
}

std::string Encode(std::u16string_view text, std::size_t capacity) {
    const auto isHigh = [](char32_t u) { return u - kHighSurrogateFirst < kSurrogateHalfSize; };
    const auto isLow = [](char32_t u) { return u - kLowSurrogateFirst < kSurrogateHalfSize; };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t codePoint = text[i];
        const bool pair = isHigh(codePoint) && i + 1 < text.size() && isLow(text[i + 1]);
        if (pair) {
            codePoint = kFirstSupplementary +
                        (codePoint - kHighSurrogateFirst) * kSurrogateHalfSize +
                        (text[i + 1] - kLowSurrogateFirst);
        }
        const std::string bytes = EncodeCodePoint(codePoint);
        if (capacity - out.size() < bytes.size())
            break;
        out += bytes;
        i += pair ? 1 : 0;
    }
    return out;
}

}  // namespace utf8_reference
