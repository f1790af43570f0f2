#include "text/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <ostream>
#include <string>

#include "fuzz/support/utf8_reference.h"
#include "text/code_pages.h"

namespace {

using utf8_reference::DecodeTerminated;
using utf8_reference::Encode;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

struct DecodeCase {
    const char* label;
    std::string bytes;
    std::u16string expected;
    friend void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.label; }
};

class Utf8DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8DecodeTest, NarrowToWide) {
    EXPECT_EQ(NarrowToWide(GetParam().bytes, kCodePageUtf8), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8DecodeTest,
    testing::Values(DecodeCase{"empty", "", u""},
                    DecodeCase{"ascii", "Hello, world", u"Hello, world"},
                    DecodeCase{"two_bytes", Bytes({0xC3, 0xA9}), u"\u00E9"},
                    DecodeCase{"four_bytes", Bytes({0xF0, 0x9F, 0x98, 0x80}), u"\U0001F600"},
                    DecodeCase{"surrogate_value_passes", Bytes({0xED, 0xA0, 0x80}), u"\xD800"},
                    DecodeCase{"embedded_zero", Bytes({0x41, 0x00, 0x42}), u"A"},
                    DecodeCase{"stray_continuation", Bytes({0x80}), u"\u0080"},
                    DecodeCase{"stray_continuations", Bytes({0x41, 0xBF, 0x80}), u"A\u00BF\u0080"},
                    DecodeCase{"overlong_zero_ends", Bytes({0x41, 0xC0, 0x80, 0x42}), u"A"},
                    DecodeCase{"overlong_slash", Bytes({0xC0, 0xAF}), u"/"},
                    // The terminator serves as the last continuation byte.
                    DecodeCase{"terminator_continues_two", Bytes({0x41, 0xC3}), u"A@"},
                    DecodeCase{"terminator_continues_three", Bytes({0x41, 0xE2, 0x82}), u"A\u2000"},
                    DecodeCase{"terminator_not_enough", Bytes({0x41, 0xE2}), u"A"},
                    DecodeCase{"lone_lead_four", Bytes({0xF0}), u""},
                    DecodeCase{"continuation_not_checked", Bytes({0xC3, 0x41}), u"\u0081"},
                    DecodeCase{"bom_kept", Bytes({0xEF, 0xBB, 0xBF, 0x41}), u"\uFEFFA"},
                    DecodeCase{"max_code_point", Bytes({0xF4, 0x8F, 0xBF, 0xBF}), u"\U0010FFFF"},
                    DecodeCase{"beyond_max", Bytes({0xF4, 0x90, 0x80, 0x80}), u"\uFFFD"},
                    DecodeCase{"five_bytes", Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), u"\uFFFD"},
                    DecodeCase{"five_bytes_small", Bytes({0xF8, 0x80, 0x80, 0x80, 0xBF}), u"?"},
                    DecodeCase{"six_bytes_wraps_to_zero",
                               Bytes({0xFC, 0x80, 0x80, 0x80, 0x80, 0x80, 0x41}), u""},
                    DecodeCase{"six_bytes_short", Bytes({0xFD, 0x80, 0x80}), u""},
                    DecodeCase{"mixed",
                               "caf" + Bytes({0xC3, 0xA9}) + " " + Bytes({0xE4, 0xB8, 0xAD}),
                               u"caf\u00E9 \u4E2D"}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return info.param.label; });

struct EncodeCase {
    const char* label;
    std::u16string text;
    std::string expected;
    friend void PrintTo(const EncodeCase& c, std::ostream* os) { *os << c.label; }
};

class Utf8EncodeTest : public testing::TestWithParam<EncodeCase> {};

TEST_P(Utf8EncodeTest, WideToNarrow) {
    EXPECT_EQ(WideToNarrow(GetParam().text, kCodePageUtf8), GetParam().expected);
    EXPECT_EQ(EncodedUtf8Size(GetParam().text.data(), GetParam().text.size()),
              GetParam().expected.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8EncodeTest,
    testing::Values(
        EncodeCase{"empty", u"", ""}, EncodeCase{"ascii", u"abc", "abc"},
        EncodeCase{"zero_kept", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
        EncodeCase{"two_bytes", u"\u00E9", Bytes({0xC3, 0xA9})},
        EncodeCase{"boundary_7ff", u"\u07FF\u0800", Bytes({0xDF, 0xBF, 0xE0, 0xA0, 0x80})},
        EncodeCase{"pair", u"\U0001F600", Bytes({0xF0, 0x9F, 0x98, 0x80})},
        EncodeCase{"lone_high", u"\xD800", Bytes({0xED, 0xA0, 0x80})},
        EncodeCase{"lone_high_last", u"a\xDBFF", Bytes({0x61, 0xED, 0xAF, 0xBF})},
        EncodeCase{"lone_low", u"\xDC00x", Bytes({0xED, 0xB0, 0x80, 0x78})},
        EncodeCase{"reversed_pair", u"\xDC00\xD800", Bytes({0xED, 0xB0, 0x80, 0xED, 0xA0, 0x80})},
        EncodeCase{"high_then_ascii",
                   u"\xD800"
                   u"A",
                   Bytes({0xED, 0xA0, 0x80, 0x41})},
        EncodeCase{"bmp_top", u"\uFFFF", Bytes({0xEF, 0xBF, 0xBF})}),
    [](const testing::TestParamInfo<EncodeCase>& info) { return info.param.label; });

TEST(Utf8, DecodeStopsWhenOutputIsFull) {
    const std::string bytes = "ab" + Bytes({0xF0, 0x9F, 0x98, 0x80});
    char16_t out[4] = {};
    // Room for "ab" and half a pair: the pair is not split.
    EXPECT_EQ(DecodeUtf8(bytes.data(), bytes.size(), out, 3), 2u);
    EXPECT_EQ(DecodeUtf8(bytes.data(), bytes.size(), out, 4), 4u);
    EXPECT_EQ(out[2], 0xD83D);
    EXPECT_EQ(out[3], 0xDE00);
    const std::string ascii(20, 'x');
    char16_t small[9];
    EXPECT_EQ(DecodeUtf8(ascii.data(), ascii.size(), small, 9), 9u);
}

TEST(Utf8, DecodeWithoutTerminatorStopsAtShortSequence) {
    const std::string bytes = Bytes({0x41, 0xC3});
    char16_t out[4] = {};
    EXPECT_EQ(DecodeUtf8(bytes.data(), bytes.size(), out, 4), 1u);
}

TEST(Utf8, EncodeNeverWritesPartOfASequence) {
    const std::u16string text = u"a\u4E2D";
    char out[4] = {'-', '-', '-', '-'};
    EXPECT_EQ(EncodeUtf8(text.data(), text.size(), out, 3), 1u);
    EXPECT_EQ(out[1], '-');
    const std::u16string ascii(10, u'z');
    char small[6];
    EXPECT_EQ(EncodeUtf8(ascii.data(), ascii.size(), small, 6), 6u);
}

// Random text built to exercise the word-at-a-time paths: ASCII runs of every
// length, zero bytes, multi-byte sequences and sequences cut at the end.
TEST(Utf8, DecodeMatchesPlainRulesOnRandomInput) {
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t length = round < 2500 ? random() % 40 : 2000 + random() % 3000;
        std::string bytes;
        while (bytes.size() < length) {
            switch (random() % 6) {
                case 0:
                    bytes.append(random() % 20, static_cast<char>('a' + random() % 26));
                    break;
                case 1:
                    if (random() % 8 == 0)
                        bytes.push_back('\0');
                    break;
                default:
                    bytes.push_back(static_cast<char>(random() % 256));
            }
        }
        ASSERT_EQ(NarrowToWide(bytes, kCodePageUtf8), DecodeTerminated(bytes)) << "round " << round;
    }
}

TEST(Utf8, EncodeMatchesPlainRulesOnRandomInput) {
    std::mt19937 random(54321);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t length = round < 2500 ? random() % 40 : 600 + random() % 3000;
        std::u16string text;
        while (text.size() < length) {
            switch (random() % 5) {
                case 0:
                    text.append(random() % 20, static_cast<char16_t>('a' + random() % 26));
                    break;
                case 1:
                    text.push_back(static_cast<char16_t>(0xD800 + random() % 0x800));
                    break;
                default:
                    text.push_back(static_cast<char16_t>(random() % 0x10000));
            }
        }
        const std::string expected = Encode(text);
        ASSERT_EQ(WideToNarrow(text, kCodePageUtf8), expected) << "round " << round;
        ASSERT_EQ(EncodedUtf8Size(text.data(), text.size()), expected.size()) << "round " << round;
        // Well-formed text without zeros survives the way back.
        bool wellFormed = text.find(u'\0') == std::u16string::npos;
        for (std::size_t i = 0; i < text.size() && wellFormed; ++i) {
            const char16_t c = text[i];
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF) {
                ++i;
            } else {
                wellFormed = c < 0xD800 || c > 0xDFFF;
            }
        }
        if (wellFormed) {
            EXPECT_EQ(NarrowToWide(expected, kCodePageUtf8), text) << "round " << round;
        }
    }
}

TEST(Utf8, EncodedSizeOfLongTextWithPairsAtEveryPlace) {
    // Long enough for the counts to be emptied several times on the way;
    // pairs, lone and reversed surrogates fall at every place of a block.
    std::mt19937 random(2718);
    std::u16string text;
    while (text.size() < 300000) {
        switch (random() % 6) {
            case 0:
                text += u"\U0001F600";
                break;
            case 1:
                text.push_back(static_cast<char16_t>(0xD800 + random() % 0x800));
                break;
            case 2:
                text.push_back(static_cast<char16_t>(0x80 + random() % 0x780));
                break;
            case 3:
                text.push_back(static_cast<char16_t>(0x800 + random() % 0xF800));
                break;
            default:
                text.push_back(static_cast<char16_t>(random() % 0x80));
        }
    }
    for (std::size_t length : {text.size(), text.size() - 1, std::size_t{64007}, std::size_t{9}}) {
        const std::u16string part = text.substr(0, length);
        const std::string expected = Encode(part);
        EXPECT_EQ(EncodedUtf8Size(part.data(), part.size()), expected.size()) << length;
        EXPECT_EQ(WideToNarrow(part, kCodePageUtf8), expected) << length;
    }
}

TEST(Utf8, LongTextCrossesTheStackBufferLimits) {
    for (std::size_t length : {1364u, 1365u, 1366u, 2040u, 2043u, 2044u, 2045u, 4096u, 5000u}) {
        std::u16string text;
        for (std::size_t i = 0; i < length; ++i) {
            text.push_back(i % 3 == 0 ? u'\u00E9' : static_cast<char16_t>('a' + i % 26));
        }
        const std::string bytes = WideToNarrow(text, kCodePageUtf8);
        EXPECT_EQ(bytes, Encode(text)) << length;
        EXPECT_EQ(NarrowToWide(bytes, kCodePageUtf8), text) << length;
        const std::string ascii(length, 'q');
        EXPECT_EQ(NarrowToWide(ascii, kCodePageUtf8), std::u16string(length, u'q')) << length;
    }
}

}  // namespace
