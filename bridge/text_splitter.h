// SplitForLimit: cuts UTF-8 text that is longer than an upstream accepts into
// pieces short enough, at paragraph, then sentence, then word boundaries.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace bridge {

// A piece to translate and the white space that followed it in the text,
// which is kept as it was. Concatenating every piece's text and separator in
// order gives the text back.
struct TextPiece {
    std::string_view text;
    std::string_view separator;
};

// The number of code points of valid UTF-8 text.
std::size_t CodePoints(std::string_view text);

// One piece (the whole text) when it has at most maxChars code points or
// maxChars is 0. Otherwise pieces of at most maxChars code points each:
// paragraphs (blank lines between them), sentences (after . ! ? … ؟ ۔ and
// white space) and words packed greedily, and a word longer than the limit
// cut between two code points. Pieces may be empty (white space alone).
std::vector<TextPiece> SplitForLimit(std::string_view text, std::size_t maxChars);

}  // namespace bridge
