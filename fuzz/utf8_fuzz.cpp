// UTF-8 decoding and encoding against the reference conversions it shares
// with the tests (fuzz/support), written from the rules, including the stops
// when the input or the output runs out. Also: whatever UTF-16 goes out comes
// back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/support/utf8_reference.h"
#include "text/code_pages.h"
#include "text/utf8.h"
#include "text/utf8_simd.h"

namespace {

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
            std::u16string(out.data(), written) != utf8_reference::Decode(bytes, capacity)) {
            std::abort();
        }
    }
    // The engine's conversion: the bytes and their terminating zero, cut at
    // the first zero code unit.
    if (NarrowToWide(bytes, kCodePageUtf8) != utf8_reference::DecodeTerminated(bytes)) {
        std::abort();
    }

    // Encoding, the same way.
    for (std::size_t capacity : {capacityChoice % (4 * units.size() + 2), 4 * units.size()}) {
        std::vector<char> out(capacity + 1, '\x5A');
        const std::size_t written = EncodeUtf8(units.data(), units.size(), out.data(), capacity);
        if (written > capacity || out[capacity] != '\x5A' ||
            std::string(out.data(), written) != utf8_reference::Encode(units, capacity)) {
            std::abort();
        }
    }
    const std::string encoded = WideToNarrow(units, kCodePageUtf8);
    if (encoded != utf8_reference::Encode(units)) {
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
