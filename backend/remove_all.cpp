#include "backend/remove_all.h"

#include <cstdint>
#include <vector>

// Deleting the leftmost occurrence first is the same as deleting an occurrence
// the moment its last character is read: no occurrence can end earlier. So the
// text is copied into an output that acts as a stack, and a pattern matcher
// (Knuth-Morris-Pratt) remembers its state at every output position; when the
// pattern is complete it is popped, and matching resumes from the state saved
// at the new top, which also finds occurrences that the deletion has joined.
std::u16string RemoveAll(std::u16string_view text, std::u16string_view pattern) {
    if (pattern.empty() || pattern.size() > UINT32_MAX ||
        text.find(pattern) == std::u16string_view::npos) {
        return std::u16string(text);
    }
    const std::size_t m = pattern.size();
    std::vector<std::size_t> fallback(m, 0);
    for (std::size_t i = 1, k = 0; i < m; ++i) {
        while (k > 0 && pattern[i] != pattern[k]) {
            k = fallback[k - 1];
        }
        if (pattern[i] == pattern[k]) {
            ++k;
        }
        fallback[i] = k;
    }

    // The output and the matched length after each of its characters (never
    // above the pattern length, so 32 bits suffice), both filled by index.
    std::u16string out(text.size(), u'\0');
    std::vector<std::uint32_t> states(text.size());
    std::size_t top = 0;
    for (char16_t c : text) {
        std::size_t k = top == 0 ? 0 : states[top - 1];
        while (k > 0 && pattern[k] != c) {
            k = fallback[k - 1];
        }
        if (pattern[k] == c) {
            ++k;
        }
        out[top] = c;
        states[top] = static_cast<std::uint32_t>(k);
        ++top;
        if (k == m) {
            top -= m;
        }
    }
    out.resize(top);
    return out;
}
