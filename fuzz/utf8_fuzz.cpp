// UTF-8 decoding and encoding against slow conversions written from the
// rules: sequence length from the lead byte, arithmetic value, surrogate
// pairs above U+FFFF, U+FFFD beyond U+10FFFF, and stopping when the input or
// the output runs out. Also: whatever UTF-16 goes out comes back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/code_pages.h"
#include "text/utf8.h"
#include "text/utf8_simd.h"

namespace {

std::u16string SlowDecode(const std::uint8_t* bytes, std::size_t size, std::size_t capacity) {
    static constexpr std::uint32_t kOffset[6] = {0,         0x3080,     0xE2080,
                                                 0x3C82080, 0xFA082080, 0x82082080};
    std::u16string out;
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t lead = bytes[i];
        std::size_t length = 1;
        if (lead >= 0xFC) {
            length = 6;
        } else if (lead >= 0xF8) {
            length = 5;
        } else if (lead >= 0xF0) {
            length = 4;
        } else if (lead >= 0xE0) {
            length = 3;
        } else if (lead >= 0xC0) {
            length = 2;
        }
        if (size - i < length) {
            break;
        }
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < length; ++k) {
            value = (value << 6) + bytes[i + k];
        }
        value -= kOffset[length - 1];
        const std::size_t units = value > 0xFFFF && value <= 0x10FFFF ? 2 : 1;
        if (capacity - out.size() < units) {
            break;
        }
        if (value <= 0xFFFF) {
            out.push_back(static_cast<char16_t>(value));
        } else if (value <= 0x10FFFF) {
            out.push_back(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
        } else {
            out.push_back(u'\uFFFD');
        }
        i += length;
    }
    return out;
}

std::string SlowEncode(const std::u16string& text, std::size_t capacity) {
    static constexpr std::uint8_t kLeadMarker[4] = {0x00, 0xC0, 0xE0, 0xF0};
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        std::uint32_t value = text[i];
        std::size_t consumed = 1;
        if (value >= 0xD800 && value <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            value = ((value - 0xD800) << 10) + (text[i + 1] - 0xDC00u) + 0x10000;
            consumed = 2;
        }
        const std::size_t length = value < 0x80 ? 1 : value < 0x800 ? 2 : value < 0x10000 ? 3 : 4;
        if (capacity - out.size() < length) {
            break;
        }
        out.push_back(static_cast<char>(kLeadMarker[length - 1] | (value >> (6 * (length - 1)))));
        for (std::size_t k = length - 1; k > 0; --k) {
            out.push_back(static_cast<char>(0x80 | ((value >> (6 * (k - 1))) & 0x3F)));
        }
        i += consumed;
    }
    return out;
}

void CheckConversions(const std::uint8_t* data, std::size_t size, std::size_t capacityChoice) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }

    // Decoding, into a tight output and into one with room to spare.
    for (std::size_t capacity : {capacityChoice % (size + 2), size + 6}) {
        std::vector<char16_t> out(capacity + 1, u'\x5A5A');
        const std::size_t written = DecodeUtf8(bytes.data(), size, out.data(), capacity);
        if (written > capacity || out[capacity] != u'\x5A5A' ||
            std::u16string(out.data(), written) != SlowDecode(data, size, capacity)) {
            std::abort();
        }
    }
    // The engine's conversion: the bytes and their terminating zero, cut at
    // the first zero code unit.
    std::string terminated = bytes + '\0';
    std::u16string expected = SlowDecode(reinterpret_cast<const std::uint8_t*>(terminated.data()),
                                         terminated.size(), terminated.size() + 5);
    expected.resize(std::min(expected.find(u'\0'), expected.size()));
    if (NarrowToWide(bytes, kCodePageUtf8) != expected) {
        std::abort();
    }

    // Encoding, the same way.
    for (std::size_t capacity : {capacityChoice % (4 * units.size() + 2), 4 * units.size()}) {
        std::vector<char> out(capacity + 1, '\x5A');
        const std::size_t written = EncodeUtf8(units.data(), units.size(), out.data(), capacity);
        if (written > capacity || out[capacity] != '\x5A' ||
            std::string(out.data(), written) != SlowEncode(units, capacity)) {
            std::abort();
        }
    }
    const std::string encoded = WideToNarrow(units, kCodePageUtf8);
    if (encoded != SlowEncode(units, 4 * units.size())) {
        std::abort();
    }

    // Every unit sequence without a zero survives the trip out and back,
    // lone surrogates included (each travels as its own three bytes).
    if (units.find(u'\0') == std::u16string::npos &&
        NarrowToWide(encoded, kCodePageUtf8) != units) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks an output capacity, small ones included, so that
    // the stops for a full output are exercised as well as the roomy case.
    const std::size_t capacityChoice = data[0];
    // Every block kernel this processor has is held to the same rules.
    const Utf8Kernel active = ActiveUtf8Kernel();
    for (Utf8Kernel kernel : {Utf8Kernel::kNone, Utf8Kernel::kSsse3, Utf8Kernel::kAvx2}) {
        if (SelectUtf8Kernel(kernel)) {
            CheckConversions(data + 1, size - 1, capacityChoice);
        }
    }
    SelectUtf8Kernel(active);
    return 0;
}
