#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "bridge/text_splitter.h"

namespace {

using Pieces = std::vector<std::pair<std::string, std::string>>;  // text, separator after it

struct SplitCase {
    const char* name;
    std::string text;
    std::size_t maxChars;
    Pieces expected;
};

const SplitCase kCases[] = {
    {"fits", "Hello world.", 12, {{"Hello world.", ""}}},
    {"no limit", std::string(5000, 'a'), 0, {{std::string(5000, 'a'), ""}}},
    {"paragraphs", "Aa bb.\n\nCc dd.", 8, {{"Aa bb.", "\n\n"}, {"Cc dd.", ""}}},
    {"paragraphs packed", "A.\n\nB.\n\nC.", 6, {{"A.\n\nB.", "\n\n"}, {"C.", ""}}},
    {"windows paragraphs", "Aa.\r\n\r\nBb.", 4, {{"Aa.", "\r\n\r\n"}, {"Bb.", ""}}},
    {"sentences", "One. Two! Three? Four", 10, {{"One. Two!", " "}, {"Three?", " "}, {"Four", ""}}},
    {"sentence in quotes",
     "He said \"Go.\" Then left.",
     14,
     {{"He said \"Go.\"", " "}, {"Then left.", ""}}},
    {"arabic question mark",
     "\u0645\u0627 \u0627\u0633\u0645\u0643\u061F \u0623\u0646\u0627",
     9,
     {{"\u0645\u0627 \u0627\u0633\u0645\u0643\u061F", " "}, {"\u0623\u0646\u0627", ""}}},
    {"words", "alpha beta gamma delta", 11, {{"alpha beta", " "}, {"gamma delta", ""}}},
    {"leading white space", "  ab cd", 2, {{"", "  "}, {"ab", " "}, {"cd", ""}}},
    {"hard", "abcdefghij", 4, {{"abcd", ""}, {"efgh", ""}, {"ij", ""}}},
    {"hard, two-byte and three-byte characters",
     "\u00E4\u00F6\u00FC\u00DF\u20AC",
     2,
     {{"\u00E4\u00F6", ""}, {"\u00FC\u00DF", ""}, {"\u20AC", ""}}},
    {"hard, four-byte characters",
     "\U0001F600\U0001F601\U0001F602",
     1,
     {{"\U0001F600", ""}, {"\U0001F601", ""}, {"\U0001F602", ""}}},
    {"long word within sentences",
     "Hi. Supercalifragilistic ok",
     8,
     {{"Hi.", " "}, {"Supercal", ""}, {"ifragili", ""}, {"stic", " "}, {"ok", ""}}},
};

TEST(SplitForLimit, CutsAtTheWidestBoundaryThatFitsAndKeepsTheSeparators) {
    for (const SplitCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Pieces pieces;
        std::string joined;
        for (const bridge::TextPiece& piece : bridge::SplitForLimit(c.text, c.maxChars)) {
            pieces.emplace_back(piece.text, piece.separator);
            joined += std::string(piece.text) + std::string(piece.separator);
            if (c.maxChars > 0) {
                EXPECT_LE(bridge::CodePoints(piece.text), c.maxChars);
            }
            if (!piece.text.empty()) {  // never inside a UTF-8 sequence
                EXPECT_NE(static_cast<unsigned char>(piece.text.front()) & 0xC0, 0x80);
            }
        }
        EXPECT_EQ(pieces, c.expected);
        EXPECT_EQ(joined, c.text);
    }
}

}  // namespace
