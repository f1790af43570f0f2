#include "text/code_pages.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "platform/code_page.h"
#include "platform/wide.h"
#include "text/code_page_tables.h"
#include "text/utf8.h"

namespace {

// Typical segments convert in a stack buffer; only longer text goes to the heap.
constexpr std::size_t kWideStackUnits = 2049;
constexpr std::size_t kNarrowStackBytes = 4097;

template <typename Char, std::size_t kStackSize, typename Fill>
std::basic_string<Char> WithBuffer(std::size_t capacity, Fill fill) {
    if (capacity <= kStackSize) {
        Char buffer[kStackSize];
        return std::basic_string<Char>(buffer, fill(buffer, capacity));
    }
    std::unique_ptr<Char[]> buffer(new Char[capacity]);
    return std::basic_string<Char>(buffer.get(), fill(buffer.get(), capacity));
}

char EncodeCodePage1252(char16_t unit) {
    if (unit < 0x80)
        return static_cast<char>(unit);  // the table is the identity there
    const ReverseEntry* begin = kCodePage1252Reverse;
    const ReverseEntry* end = begin + kCodePage1252ReverseSize;
    const ReverseEntry* found = std::lower_bound(
        begin, end, unit, [](const ReverseEntry& entry, char16_t u) { return entry.unit < u; });
    return found != end && found->unit == unit ? static_cast<char>(found->byte) : '?';
}

std::u16string PlatformNarrowToWide(std::string_view bytes, UINT codePage) {
    // The platform converts the terminating zero too; a string_view has none.
    const std::string terminated(bytes);
    const std::size_t sourceSize = terminated.size() + 1;
    if (sourceSize > INT_MAX)
        return {};
    return WithBuffer<char16_t, kWideStackUnits>(
        sourceSize + 5, [&](char16_t* out, std::size_t capacity) -> std::size_t {
            const int written = MultiByteToWideChar(
                codePage, 0, terminated.c_str(), static_cast<int>(sourceSize), ToPlatform(out),
                static_cast<int>(std::min<std::size_t>(capacity, INT_MAX)));
            const auto* stop = std::find(out, out + std::max(written, 0), u'\0');
            return static_cast<std::size_t>(stop - out);
        });
}

std::string PlatformWideToNarrow(std::u16string_view text, UINT codePage) {
    if (text.size() > INT_MAX)
        return {};
    const int sourceSize = static_cast<int>(text.size());
    const PlatformChar* source = ToPlatform(text.data());
    // Room for the longest encoding of each unit: two bytes in 932, eight
    // elsewhere; text too long for that asks the platform for the size.
    std::uint64_t capacity = std::uint64_t{text.size()} * (codePage == 932 ? 2 : 8);
    if (capacity > INT_MAX) {
        const int needed =
            WideCharToMultiByte(codePage, 0, source, sourceSize, nullptr, 0, nullptr, nullptr);
        if (needed <= 0)
            return {};
        capacity = static_cast<std::uint64_t>(needed);
    }
    return WithBuffer<char, kNarrowStackBytes>(
        static_cast<std::size_t>(capacity), [&](char* out, std::size_t size) -> std::size_t {
            const int written = WideCharToMultiByte(codePage, 0, source, sourceSize, out,
                                                    static_cast<int>(size), nullptr, nullptr);
            return written > 0 ? static_cast<std::size_t>(written) : 0;
        });
}

}  // namespace

std::u16string NarrowToWide(std::string_view bytes, UINT codePage) {
    if (bytes.empty())
        return {};

    if (const char16_t* table = CodePageTable(codePage)) {
        // Only byte 0 decodes to U+0000, so the result ends at the first zero byte.
        const std::size_t length = std::min(bytes.find('\0'), bytes.size());
        std::u16string result(length, u'\0');
        for (std::size_t i = 0; i < length; ++i) {
            result[i] = table[static_cast<unsigned char>(bytes[i])];
        }
        return result;
    }

    if (codePage == kCodePageUtf8) {
        // Never more code units than bytes; the terminator and five spare units on top.
        const std::size_t capacity = bytes.size() + 1 + 5;
        if (capacity <= kWideStackUnits) {
            char16_t buffer[kWideStackUnits];
            return std::u16string(
                buffer, DecodeUtf8Terminated(bytes.data(), bytes.size(), buffer, capacity));
        }
        // Decode straight into the result: no buffer besides it.
        std::u16string result(capacity, u'\0');
        result.resize(DecodeUtf8Terminated(bytes.data(), bytes.size(), result.data(), capacity));
        return result;
    }

    return PlatformNarrowToWide(bytes, codePage);
}

std::string WideToNarrow(std::u16string_view text, UINT codePage) {
    if (text.empty())
        return {};

    if (codePage == 1252) {
        std::string result(text.size(), '\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            result[i] = EncodeCodePage1252(text[i]);
        return result;
    }

    if (codePage == kCodePageUtf8) {
        // Three bytes per unit always suffice (a surrogate pair takes four for
        // its two units). Where that count would overflow, the exact size:
        // a smaller buffer would cut the text short.
        std::size_t capacity = text.size() * 3;
        if (text.size() > SIZE_MAX / 3) {
            const std::uint64_t needed = EncodedUtf8Size(text.data(), text.size());
            if (needed > SIZE_MAX)
                throw std::bad_alloc();
            capacity = static_cast<std::size_t>(needed);
        }
        return WithBuffer<char, kNarrowStackBytes>(capacity, [&](char* out, std::size_t capacity) {
            return EncodeUtf8(text.data(), text.size(), out, capacity);
        });
    }

    return PlatformWideToNarrow(text, codePage);
}

UINT AnsiCodePage() {
    return GetACP();
}

std::u16string AnsiToWide(std::string_view bytes) {
    return NarrowToWide(bytes, AnsiCodePage());
}

std::string WideToAnsi(std::u16string_view text) {
    return WideToNarrow(text, AnsiCodePage());
}
