// Search for one UTF-16 code unit in text of any length, fast on long text:
// BSTRs of megabytes are scanned for their first NUL, answers for marks.
#pragma once

#include <cstddef>
#include <cstdint>

// The index of the first `unit` in text[0, size), or `size` when there is none.
inline std::size_t FindUnit(const char16_t* text, std::size_t size, char16_t unit) {
    // Sixteen units a step, folded into one mask without an early exit inside
    // the step: the compiler turns this form into vector compares.
    constexpr std::size_t kStep = 16;
    std::size_t i = 0;
    for (; size - i >= kStep; i += kStep) {
        std::uint16_t hits = 0;
        for (std::size_t j = 0; j < kStep; ++j) {
            hits |= static_cast<std::uint16_t>(-static_cast<int>(text[i + j] == unit));
        }
        if (hits != 0) {
            break;
        }
    }
    for (; i < size; ++i) {
        if (text[i] == unit) {
            return i;
        }
    }
    return size;
}
