// RemoveAll against the naive rule: search from the start, delete the first
// occurrence, repeat until there is none.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "backend/remove_all.h"

namespace {

std::u16string NaiveRemoveAll(std::u16string text, const std::u16string& pattern) {
    if (pattern.empty()) {
        return text;  // the naive loop would never end
    }
    for (std::size_t at = text.find(pattern); at != std::u16string::npos; at = text.find(pattern)) {
        text.erase(at, pattern.size());
    }
    return text;
}

// Units from a four-letter alphabet make overlapping and nested occurrences
// common; one mode spells text from the back end's own marks.
char16_t Unit(std::uint8_t byte, std::uint8_t mode) {
    static constexpr char16_t kSmall[] = {u'a', u'b', u'<', u' '};
    static constexpr char16_t kMarks[] = {u'<', u'u', u'n', u'k', u'>', u' ', u'/', u'x'};
    switch (mode % 3) {
        case 0:
            return kSmall[byte % std::size(kSmall)];
        case 1:
            return kMarks[byte % std::size(kMarks)];
        default:
            return static_cast<char16_t>(byte < 0xF0 ? byte : 0xD800 + byte);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    std::u16string pattern;
    switch ((mode >> 2) % 4) {
        case 0:
            pattern = u"<unk> ";
            break;
        case 1:
            pattern = u" </unk>";
            break;
        default: {
            const std::size_t length = std::min<std::size_t>(data[1] % 9, size - 2);
            for (std::size_t i = 0; i < length; ++i) {
                pattern.push_back(Unit(data[2 + i], mode));
            }
            data += length;
            size -= length;
        }
    }
    std::u16string text;
    for (std::size_t i = 2; i < size; ++i) {
        text.push_back(Unit(data[i], mode));
    }
    if (RemoveAll(text, pattern) != NaiveRemoveAll(text, pattern)) {
        std::abort();
    }
    return 0;
}
