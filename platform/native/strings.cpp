#include "platform/strings.h"

namespace {
unsigned char FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}
}  // namespace

int lstrcmpiA(LPCSTR first, LPCSTR second) {
    const auto* a = reinterpret_cast<const unsigned char*>(first ? first : "");
    const auto* b = reinterpret_cast<const unsigned char*>(second ? second : "");
    for (;; ++a, ++b) {
        const int diff = FoldAscii(*a) - FoldAscii(*b);
        if (diff != 0 || *a == 0) {
            return diff;
        }
    }
}
