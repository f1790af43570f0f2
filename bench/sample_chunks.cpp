#include "bench/sample_chunks.h"

namespace bench {

const std::vector<std::u16string>& JobChunks() {
    static const std::vector<std::u16string> chunks = [] {
        const std::u16string words[] = {u"\u0645\u0631\u062D\u0628\u0627",  // hello
                                        u"\u0639\u0627\u0644\u0645",        // world
                                        u"\u0643\u062A\u0627\u0628",        // book
                                        u"\u0628\u064A\u062A", u"\u0648"};  // house, and
        std::vector<std::u16string> list;
        for (std::size_t i = 0; i < kJobChunks; ++i) {
            std::u16string chunk =
                words[i % 5] + u" " + words[(i + 2) % 5] + u" " + words[(i + 3) % 5];
            chunk.push_back(u' ');
            for (char c : std::to_string(i)) {
                chunk.push_back(static_cast<char16_t>(c));
            }
            list.push_back(std::move(chunk));
        }
        return list;
    }();
    return chunks;
}

}  // namespace bench
