// The loops behind EscapeXmlText, one set per instruction set, and the driver
// that runs a given set; tests hold every set to the same results.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace xml_escape {

// Units an escape loop may write past the end of what it returns.
inline constexpr std::size_t kOutSlack = 32;

struct Kernels {
    const char* name;
    // First unit in [p, stop) that needs replacing, or stop. Reads only [p, stop).
    const char16_t* (*find)(const char16_t* p, const char16_t* stop);
    // Escapes [p, stop) into `out`, which has room for kMaxGrowth * (stop - p)
    // + kOutSlack units, and returns the end of the result. May read (never
    // use) units up to `readEnd` (>= stop) to move whole blocks.
    char16_t* (*escape)(const char16_t* p, const char16_t* stop, const char16_t* readEnd,
                        char16_t* out);
};

const Kernels& ScalarKernels();
// Null where the build or the processor lacks the instructions.
const Kernels* Sse2Kernels();
const Kernels* Avx2Kernels();

// Every set this process can run, plainest first; the last is the one
// EscapeXmlText uses.
std::vector<const Kernels*> AvailableKernels();

std::u16string EscapeWith(const Kernels& kernels, std::u16string_view text);

// Appends the escaped text to `out`, keeping `spareRoom` units free after it
// when the result is sized, for whatever the caller appends next.
void AppendEscapedWith(const Kernels& kernels, std::u16string& out, std::u16string_view text,
                       std::size_t spareRoom);

}  // namespace xml_escape
