// Block kernels for UTF-8 text made of ASCII and two-byte sequences (most
// alphabets), using byte shuffles on processors that have them.
#pragma once

#include <cstdint>

// Instruction sets a kernel may use; the fastest one the processor runs is
// picked at the first call. Builds other than x86-64 only have `kNone`.
enum class Utf8Kernel { kNone, kSsse3, kAvx2 };

// Whether this processor (and build) can run the kernel.
bool Utf8KernelSupported(Utf8Kernel kernel);

// The kernel in use.
Utf8Kernel ActiveUtf8Kernel();

// Makes `kernel` the one in use (tests use this to reach every kernel);
// returns false and changes nothing when it is not supported.
bool SelectUtf8Kernel(Utf8Kernel kernel);

// Decodes whole blocks at `p` while they hold only ASCII and well-formed
// two-byte sequences and there is room for them, moving `p` and `o` past what
// was done. Stops before the first block the sequential rules would decode
// otherwise (longer sequences, stray continuation bytes, and with
// `stopAtZero` a zero code unit) and before the last few dozen bytes of the
// input. Writes nothing beyond the code units it counts.
void DecodeTwoByteBlocks(const std::uint8_t*& p, const std::uint8_t* end, char16_t*& o,
                         const char16_t* outEnd, bool stopAtZero);

// Encodes whole blocks at `p` while all their code units are below U+0800 and
// there is room for them, moving `p` and `o` past what was done. Writes
// nothing beyond the bytes it counts.
void EncodeTwoByteBlocks(const char16_t*& p, const char16_t* end, char*& o, const char* outEnd);
