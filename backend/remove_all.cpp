#include "backend/remove_all.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "platform/unit_search.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Deleting the leftmost occurrence first is the same as deleting an occurrence
// the moment its last character is read: no occurrence can end earlier. So the
// text is copied into an output that acts as a stack, and a pattern matcher
// (Knuth-Morris-Pratt) remembers its state at every output position; when the
// pattern is complete it is popped, and matching resumes from the state saved
// at the new top, which also finds occurrences that the deletion has joined.
//
// While nothing is matched, every character up to the next one that starts the
// pattern leaves the matcher where it was; those stretches are copied in
// blocks with their states set to zero.
//
// The output never runs ahead of the input, so the text can serve as its own
// output: that is how the work is done, on a copy when the caller keeps the
// text.

namespace {

// Longest proper prefix of pattern[0..i] that is also its suffix, for each i.
std::vector<std::size_t> Fallbacks(std::u16string_view pattern) {
    std::vector<std::size_t> fallback(pattern.size(), 0);
    for (std::size_t i = 1, k = 0; i < pattern.size(); ++i) {
        while (k > 0 && pattern[i] != pattern[k])
            k = fallback[k - 1];
        if (pattern[i] == pattern[k])
            ++k;
        fallback[i] = k;
    }
    return fallback;
}

// `State` holds a matched length (always below the pattern's length): one
// byte for short patterns, such as the back end's marks.
template <typename State>
void RemoveWithStates(std::u16string& text, std::u16string_view pattern) {
    const std::vector<std::size_t> fallback = Fallbacks(pattern);
    const std::size_t m = pattern.size();
    const char16_t first = pattern[0];
    const std::size_t n = text.size();

    // Only positions below the top are ever read, and each is written first.
    const std::unique_ptr<State[]> states(new State[n]);
    char16_t* const o = text.data();
    const char16_t* const in = text.data();
    std::size_t top = 0;
    std::size_t k = 0;  // matched length at the top
    std::size_t i = 0;
    while (i < n) {
        if (k == 0) {
#if defined(__SSE2__)
            // Eight at a time while none starts the pattern. A whole block
            // is stored only when all of it is taken: the output may lie
            // inside the input, whose unread part must stay intact.
            const __m128i wanted = _mm_set1_epi16(static_cast<short>(first));
            while (n - i >= 8) {
                const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
                const unsigned hits =
                    static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(block, wanted)));
                if (hits != 0)
                    break;
                if (top != i)
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + top), block);
                for (std::size_t r = 0; r < 8; ++r)
                    states[top + r] = 0;
                top += 8;
                i += 8;
            }
#endif
            while (i < n && in[i] != first) {
                o[top] = in[i++];
                states[top++] = 0;
            }
            if (i == n)
                break;
        }

        const char16_t c = in[i++];
        while (k > 0 && pattern[k] != c)
            k = fallback[k - 1];
        if (pattern[k] == c)
            ++k;
        o[top] = c;
        states[top++] = static_cast<State>(k);
        if (k == m) {
            top -= m;
            k = top == 0 ? 0 : states[top - 1];
        }
    }
    text.resize(top);
}

// Whether `pattern` (not empty) occurs in `text`. Most answers hold no mark
// at all, and then this is all the removal costs, so it looks for one unit of
// the pattern with the fast unit search, choosing one that is not a space,
// since prose is full of spaces.
bool Contains(std::u16string_view text, std::u16string_view pattern) {
    const std::size_t m = pattern.size();
    if (text.size() < m)
        return false;
    const std::size_t anchor = std::min(pattern.find_first_not_of(u' '), m - 1);
    const char16_t wanted = pattern[anchor];
    // The anchor may stand at positions [anchor, end).
    const char16_t* const units = text.data();
    const std::size_t end = text.size() - m + anchor + 1;
    for (std::size_t i = anchor; i < end; ++i) {
        i += FindUnit(units + i, end - i, wanted);
        if (i < end && text.compare(i - anchor, m, pattern) == 0)
            return true;
    }
    return false;
}

}  // namespace

void RemoveAllInPlace(std::u16string& text, std::u16string_view pattern) {
    if (pattern.empty() || !Contains(text, pattern))
        return;
    if (pattern.size() <= std::numeric_limits<std::uint8_t>::max())
        RemoveWithStates<std::uint8_t>(text, pattern);
    else
        RemoveWithStates<std::size_t>(text, pattern);
}

std::u16string RemoveAll(std::u16string_view text, std::u16string_view pattern) {
    std::u16string result(text);
    RemoveAllInPlace(result, pattern);
    return result;
}
