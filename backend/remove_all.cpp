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

    std::u16string out;
    out.reserve(text.size());
    // Matched length after each output character (never above the pattern
    // length, so 32 bits suffice and halve the memory for long answers).
    std::vector<std::uint32_t> states;
    states.reserve(text.size());
    for (char16_t c : text) {
        std::size_t k = states.empty() ? 0 : states.back();
        while (k > 0 && pattern[k] != c) {
            k = fallback[k - 1];
        }
        if (pattern[k] == c) {
            ++k;
        }
        out.push_back(c);
        states.push_back(static_cast<std::uint32_t>(k));
        if (k == m) {
            out.resize(out.size() - m);
            states.resize(states.size() - m);
        }
    }
    return out;
}
