// RemoveAll's block copy (stretches with nothing matched, eight units at a
// time) and its one-byte matcher states, against the repeated leftmost rule,
// on text long enough to cross many blocks and with patterns of every shape.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "backend/remove_all.h"

namespace {

std::u16string Naive(std::u16string text, std::u16string_view pattern) {
    for (std::size_t at = text.find(pattern); at != std::u16string::npos; at = text.find(pattern))
        text.erase(at, pattern.size());
    return text;
}

TEST(RemoveAllEquivalence, LongTextsWithPatternsOfEveryShape) {
    std::mt19937 random(8128);
    // Self-overlapping, repeated first unit, first unit rare or common, and
    // one longer than a byte can count.
    std::u16string longPattern;
    for (int i = 0; i < 300; ++i)
        longPattern.push_back(static_cast<char16_t>(u'a' + i % 3));
    const std::u16string patterns[] = {u"<unk> ", u" </unk>", u"aab",          u"abab",
                                       u"a",      u"xa",      u"\xD83D\xDE00", longPattern};
    for (int round = 0; round < 600; ++round) {
        const std::u16string& pattern = patterns[round % std::size(patterns)];
        std::u16string text;
        const std::size_t length = 8 + random() % (round % 10 == 0 ? 3000 : 200);
        while (text.size() < length) {
            switch (random() % 4) {
                case 0:
                    text += pattern.substr(0, 1 + random() % pattern.size());  // a prefix
                    break;
                case 1:
                    text += pattern;
                    break;
                case 2:
                    text.append(random() % 20, static_cast<char16_t>(u'a' + random() % 3));
                    break;
                default:
                    text.append(random() % 12, u'w');
            }
        }
        ASSERT_EQ(RemoveAll(text, pattern), Naive(text, pattern))
            << "round " << round << " pattern " << round % std::size(patterns);
    }
}

TEST(RemoveAllEquivalence, ALongPatternNestedInsideItselfPastAByteOfState) {
    // The outer occurrence is only complete once the inner one is gone, and
    // matching has to resume from a matched length beyond 255.
    std::u16string pattern;
    for (int i = 0; i < 300; ++i)
        pattern.push_back(static_cast<char16_t>(u'a' + i % 7));
    for (std::size_t split : {1u, 200u, 255u, 256u, 257u, 299u}) {
        std::u16string text(1, u'<');
        text += pattern.substr(0, split);
        text += pattern;
        text += pattern.substr(split);
        text += u'>';
        EXPECT_EQ(RemoveAll(text, pattern), u"<>") << split;
    }
}

TEST(RemoveAllEquivalence, AMatchStartingInEveryPlaceOfABlock) {
    for (std::size_t before = 0; before < 20; ++before) {
        for (std::size_t after = 0; after < 10; ++after) {
            const std::u16string text =
                std::u16string(before, u'v') + u"w <unk> x </unk> y" + std::u16string(after, u'z');
            EXPECT_EQ(RemoveAll(RemoveAll(text, u"<unk> "), u" </unk>"),
                      std::u16string(before, u'v') + u"w x y" + std::u16string(after, u'z'))
                << before << " " << after;
        }
    }
}

// A text without the pattern is left alone after a quick look for one of the
// pattern's units (not a space); the look must find a single occurrence
// wherever it lies, however the pattern begins or ends, including at the
// very start and end of a text longer than the look's steps.
TEST(RemoveAllEquivalence, ASingleOccurrenceIsFoundAnywhere) {
    const std::u16string_view patterns[] = {u"<unk> ", u" </unk>", u"  ", u"  ab ", u"a"};
    for (const std::u16string_view pattern : patterns) {
        for (std::size_t length : {0u, 1u, 15u, 16u, 17u, 40u}) {
            for (std::size_t at = 0; at <= length; ++at) {
                std::u16string text(length, u' ');
                text.insert(at, pattern);
                EXPECT_EQ(RemoveAll(text, pattern), Naive(text, pattern))
                    << pattern.size() << " " << length << " " << at;
            }
        }
    }
}

}  // namespace
