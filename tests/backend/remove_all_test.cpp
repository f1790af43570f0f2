#include "backend/remove_all.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// The rule itself, quadratic and obviously right: search from the start,
// delete the first occurrence, repeat.
std::u16string NaiveRemoveAll(std::u16string text, std::u16string_view pattern) {
    if (pattern.empty()) {
        return text;
    }
    for (std::size_t at = text.find(pattern); at != std::u16string::npos; at = text.find(pattern)) {
        text.erase(at, pattern.size());
    }
    return text;
}

// The engine's two passes over an answer.
std::u16string RemoveMarks(std::u16string_view text) {
    return RemoveAll(RemoveAll(text, u"<unk> "), u" </unk>");
}

TEST(RemoveAll, MarkCases) {
    struct Case {
        std::u16string answer;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"", u""},
        {u"plain text", u"plain text"},
        {u"one <unk> two </unk> three", u"one two three"},
        {u"<unk> <unk> word </unk> </unk>", u"word"},
        // Removing one piece joins the pieces of another mark.
        {u"<unk<unk> > x", u"x"},
        {u"a </unk </unk>>", u"a"},
        {u"<<unk> unk> w", u"w"},
        // A tag without its blank stays (and is escaped later); a mark takes
        // exactly one blank.
        {u"<unk>word</unk>", u"<unk>word</unk>"},
        {u"<unk>  w", u" w"},
        {u"w </unk>x", u"wx"},
        {u"<unk>  </unk>", u""},
        // Opening marks are all gone before closing ones are looked for, so a
        // closing mark's removal cannot make an opening mark disappear.
        {u"<unk </unk>> ", u"<unk> "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RemoveMarks(c.answer), c.expected)
            << std::string(c.answer.begin(), c.answer.end());
        EXPECT_EQ(RemoveMarks(c.answer),
                  NaiveRemoveAll(NaiveRemoveAll(c.answer, u"<unk> "), u" </unk>"));
    }
}

TEST(RemoveAll, GeneralPatterns) {
    struct Case {
        std::u16string text;
        std::u16string pattern;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"ababa", u"aba", u"ba"},  // leftmost first: not "ab"
        {u"aabb", u"ab", u""},     {u"aaaa", u"aa", u""},
        {u"aaa", u"aa", u"a"},     {u"abcabc", u"", u"abcabc"},
        {u"", u"x", u""},          {u"short", u"much longer pattern", u"short"},
        {u"xyz", u"xyz", u""},     {u"\u00e9\U0001F600\u00e9", u"\U0001F600", u"\u00e9\u00e9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RemoveAll(c.text, c.pattern), c.expected);
    }
}

// Random texts over a small alphabet make marks nest, overlap and join in
// every way; the one-pass result must match the rule on each.
TEST(RemoveAll, MatchesTheRepeatedLeftmostRuleOnGeneratedText) {
    std::mt19937 random(20240521);
    const std::u16string alphabets[] = {u"<unk/> a", u"<u> ", u"ab"};
    const std::u16string patterns[] = {u"<unk> ", u" </unk>", u"aba", u"abab", u"<u<", u"a"};
    for (int round = 0; round < 20000; ++round) {
        const std::u16string& alphabet = alphabets[round % 3];
        std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
        std::uniform_int_distribution<int> length(0, 60);
        std::u16string text;
        for (int n = length(random); n > 0; --n) {
            text += alphabet[pick(random)];
        }
        // Seed some whole marks so that nested and joined cases are common.
        if (round % 2 == 0 && !text.empty()) {
            text.insert(random() % text.size(), u"<unk> ");
            text.insert(random() % text.size(), u" </unk>");
        }
        for (const std::u16string& pattern : patterns) {
            ASSERT_EQ(RemoveAll(text, pattern), NaiveRemoveAll(text, pattern))
                << "text=" << std::string(text.begin(), text.end())
                << " pattern=" << std::string(pattern.begin(), pattern.end());
        }
        ASSERT_EQ(RemoveMarks(text), NaiveRemoveAll(NaiveRemoveAll(text, u"<unk> "), u" </unk>"));
    }
}

// Sixteen million code units full of marks: a rescan from the start after each
// removal would run for hours; one pass finishes well inside the test's limit.
TEST(RemoveAll, LargeAnswerFullOfMarks) {
    const std::u16string unit = u"<unk> w </unk> ";
    std::u16string text;
    text.reserve(16u << 20);
    while (text.size() + unit.size() <= (16u << 20)) {
        text += unit;
    }
    const std::size_t units = text.size() / unit.size();
    std::u16string cleaned = RemoveMarks(text);
    ASSERT_EQ(cleaned.size(), units * 2);
    EXPECT_EQ(cleaned.substr(0, 6), u"w w w ");

    // Nested to the full depth: every opening mark first, then every closing one.
    std::u16string nested;
    const std::size_t depth = 1u << 20;
    nested.reserve(depth * 13 + 1);
    for (std::size_t i = 0; i < depth; ++i) {
        nested += u"<unk> ";
    }
    nested += u"x";
    for (std::size_t i = 0; i < depth; ++i) {
        nested += u" </unk>";
    }
    EXPECT_EQ(RemoveMarks(nested), u"x");
}

}  // namespace
