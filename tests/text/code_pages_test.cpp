#include "text/code_pages.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/code_page.h"
#include "platform/wide.h"
#include "text/code_page_tables.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

std::string OneByte(int value) {
    return std::string(1, static_cast<char>(value));
}

struct TableCase {
    UINT codePage;
    int byte;
    char16_t unit;
    friend void PrintTo(const TableCase& c, std::ostream* os) {
        *os << c.codePage << "/0x" << std::hex << c.byte;
    }
};

class CodePageTableTest : public testing::TestWithParam<TableCase> {};

TEST_P(CodePageTableTest, DecodesByte) {
    const TableCase& c = GetParam();
    EXPECT_EQ(NarrowToWide(OneByte(c.byte), c.codePage), std::u16string(1, c.unit))
        << c.codePage << " byte " << std::hex << c.byte;
}

// Published mappings and the entries fixed for the bytes they leave undefined.
INSTANTIATE_TEST_SUITE_P(
    SpotChecks, CodePageTableTest,
    testing::Values(TableCase{1252, 0x41, u'A'}, TableCase{1252, 0x80, u'\u20AC'},
                    TableCase{1252, 0x81, u'\u0081'}, TableCase{1252, 0x8D, u'\u008D'},
                    TableCase{1252, 0x8F, u'\u008F'}, TableCase{1252, 0x90, u'\u0090'},
                    TableCase{1252, 0x9D, u'\u009D'}, TableCase{1252, 0x9F, u'\u0178'},
                    TableCase{1252, 0xE9, u'\u00E9'}, TableCase{1252, 0xFF, u'\u00FF'},
                    TableCase{1253, 0x80, u'\u20AC'}, TableCase{1253, 0x88, u'\u0088'},
                    TableCase{1253, 0x9F, u'\u009F'}, TableCase{1253, 0xAA, u'\uF8F9'},
                    TableCase{1253, 0xC1, u'\u0391'}, TableCase{1253, 0xD2, u'\uF8FA'},
                    TableCase{1253, 0xFF, u'\uF8FB'}, TableCase{1254, 0x8E, u'\u008E'},
                    TableCase{1254, 0x9E, u'\u009E'}, TableCase{1254, 0xD0, u'\u011E'},
                    TableCase{1254, 0xFD, u'\u0131'}, TableCase{1255, 0xCA, u'\u05BA'},
                    TableCase{1255, 0xD9, u'\uF88D'}, TableCase{1255, 0xDF, u'\uF893'},
                    TableCase{1255, 0xE0, u'\u05D0'}, TableCase{1255, 0xFB, u'\uF894'},
                    TableCase{1255, 0xFC, u'\uF895'}, TableCase{1255, 0xFF, u'\uF896'},
                    TableCase{1255, 0x8A, u'\u008A'}, TableCase{1256, 0x81, u'\u067E'},
                    TableCase{1256, 0x8D, u'\u0686'}, TableCase{1256, 0xC7, u'\u0627'},
                    TableCase{1256, 0xFF, u'\u06D2'}));

TEST(CodePageTables, EveryTableIsTheIdentityOnAscii) {
    for (UINT codePage : {1252u, 1253u, 1254u, 1255u, 1256u}) {
        const char16_t* table = CodePageTable(codePage);
        ASSERT_NE(table, nullptr) << codePage;
        for (int b = 0; b < 0x80; ++b)
            EXPECT_EQ(table[b], b) << codePage << " byte " << b;
    }
    EXPECT_EQ(CodePageTable(1250), nullptr);
    EXPECT_EQ(CodePageTable(kCodePageUtf8), nullptr);
}

// Encoding in 1252 is a forward search of the table for the first byte that
// decodes to the unit; check the faster lookup against that for every unit.
TEST(CodePageTables, Encoding1252MatchesForwardSearch) {
    std::u16string all(0x10000, u'\0');
    for (std::size_t u = 0; u < all.size(); ++u)
        all[u] = static_cast<char16_t>(u);
    const std::string encoded = WideToNarrow(all, 1252);
    ASSERT_EQ(encoded.size(), all.size());
    for (std::size_t u = 0; u < all.size(); ++u) {
        char expected = '?';
        for (int b = 0; b < 256; ++b) {
            if (kCodePage1252Table[b] == u) {
                expected = static_cast<char>(b);
                break;
            }
        }
        ASSERT_EQ(encoded[u], expected) << "U+" << std::hex << u;
    }
}

TEST(CodePageTables, Decoding1252RoundTripsEveryByteButZero) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(WideToNarrow(NarrowToWide(all, 1252), 1252), all);
}

struct WideToNarrowCase {
    const char* label;
    UINT codePage;
    std::u16string text;
    std::string expected;
    friend void PrintTo(const WideToNarrowCase& c, std::ostream* os) { *os << c.label; }
};

class WideToNarrowTest : public testing::TestWithParam<WideToNarrowCase> {};

TEST_P(WideToNarrowTest, Encodes) {
    EXPECT_EQ(WideToNarrow(GetParam().text, GetParam().codePage), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WideToNarrowTest,
    testing::Values(
        WideToNarrowCase{"euro_1252", 1252, u"\u20AC", OneByte(0x80)},
        WideToNarrowCase{"absent_1252", 1252, u"\u0100", "?"},
        WideToNarrowCase{"undefined_byte_1252", 1252, u"\u0081", OneByte(0x81)},
        WideToNarrowCase{"pair_1252", 1252, u"\U0001F600", "??"},
        WideToNarrowCase{"zero_1252", 1252, std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
        WideToNarrowCase{"empty_1252", 1252, u"", ""},
        WideToNarrowCase{"empty_1253", 1253, u"", ""},
        WideToNarrowCase{"empty_utf8", kCodePageUtf8, u"", ""},
        WideToNarrowCase{"greek_1253", 1253, u"\u0391\u03C9", Bytes({0xC1, 0xF9})},
        WideToNarrowCase{"hebrew_1255", 1255, u"\u05D0", Bytes({0xE0})},
        WideToNarrowCase{"arabic_1256", 1256, u"\u0627\u067E", Bytes({0xC7, 0x81})},
        WideToNarrowCase{"turkish_1254", 1254, u"\u011E", Bytes({0xD0})},
        WideToNarrowCase{"cyrillic_1251", 1251, u"\u0416", Bytes({0xC6})},
        WideToNarrowCase{"chinese_936", 936, u"\u7CFB\u7EDF", Bytes({0xCF, 0xB5, 0xCD, 0xB3})},
        WideToNarrowCase{"japanese_932", 932, u"\u3042A", Bytes({0x82, 0xA0, 0x41})},
        WideToNarrowCase{"zero_936", 936, std::u16string(u"a\0b", 3), std::string("a\0b", 3)}),
    [](const testing::TestParamInfo<WideToNarrowCase>& info) { return info.param.label; });

struct NarrowToWideCase {
    const char* label;
    UINT codePage;
    std::string bytes;
    std::u16string expected;
    friend void PrintTo(const NarrowToWideCase& c, std::ostream* os) { *os << c.label; }
};

class NarrowToWideTest : public testing::TestWithParam<NarrowToWideCase> {};

TEST_P(NarrowToWideTest, Decodes) {
    EXPECT_EQ(NarrowToWide(GetParam().bytes, GetParam().codePage), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NarrowToWideTest,
    testing::Values(NarrowToWideCase{"empty_1252", 1252, "", u""},
                    NarrowToWideCase{"empty_936", 936, "", u""},
                    NarrowToWideCase{"embedded_zero_1252", 1252, std::string("ab\0cd", 5), u"ab"},
                    NarrowToWideCase{"embedded_zero_936", 936, std::string("ab\0cd", 5), u"ab"},
                    NarrowToWideCase{"leading_zero_1256", 1256, std::string("\0x", 2), u""},
                    NarrowToWideCase{"chinese_936", 936, Bytes({0xCF, 0xB5, 0xCD, 0xB3}),
                                     u"\u7CFB\u7EDF"},
                    NarrowToWideCase{"cyrillic_1251", 1251, Bytes({0xC6, 0x41}), u"\u0416A"},
                    NarrowToWideCase{"latin2_1250", 1250, Bytes({0x8A}), u"\u0160"},
                    NarrowToWideCase{"japanese_932", 932, Bytes({0x82, 0xA0}), u"\u3042"},
                    NarrowToWideCase{"korean_949", 949, Bytes({0xB0, 0xA1}), u"\uAC00"}),
    [](const testing::TestParamInfo<NarrowToWideCase>& info) { return info.param.label; });

TEST(CodePages, LongPlatformTextCrossesTheStackBufferLimits) {
    for (std::size_t length : {511u, 512u, 513u, 3000u}) {
        std::u16string text;
        for (std::size_t i = 0; i < length; ++i) {
            text.push_back(i % 2 ? u'\u0416' : static_cast<char16_t>('a' + i % 26));
        }
        const std::string bytes = WideToNarrow(text, 1251);
        EXPECT_EQ(bytes.size(), length);
        EXPECT_EQ(NarrowToWide(bytes, 1251), text);
        const std::u16string chinese(length, u'\u4E2D');
        EXPECT_EQ(NarrowToWide(WideToNarrow(chinese, 936), 936), chinese);
    }
}

TEST(CodePages, UnknownCodePageGivesEmptyResult) {
    EXPECT_EQ(NarrowToWide("abc", 4242), u"");
    EXPECT_EQ(WideToNarrow(u"abc", 4242), "");
}

TEST(CodePages, AnsiFollowsTheSystemCodePage) {
    EXPECT_EQ(AnsiCodePage(), GetACP());
    EXPECT_EQ(AnsiToWide("plain"), u"plain");
    EXPECT_EQ(WideToAnsi(u"plain"), "plain");
    EXPECT_EQ(AnsiToWide(""), u"");
}

#ifndef _WIN32
// Natively the ANSI code page is chosen by the test override or the locale
// environment; AnsiToWide and WideToAnsi must follow it.
TEST(CodePages, AnsiConversionUsesOverride) {
    SetAnsiCodePageForTesting(936);
    EXPECT_EQ(AnsiToWide(Bytes({0xCF, 0xB5, 0xCD, 0xB3})), u"\u7CFB\u7EDF");
    EXPECT_EQ(WideToAnsi(u"\u7CFB"), Bytes({0xCF, 0xB5}));
    SetAnsiCodePageForTesting(1252);
    EXPECT_EQ(AnsiToWide(Bytes({0xE9})), u"\u00E9");
    EXPECT_EQ(WideToAnsi(u"\u7CFB"), "?");
    SetAnsiCodePageForTesting(0);
}
#endif

#ifdef _WIN32
// The tables against the platform's own conversion, every byte but zero.
// Under Wine all five tables agree with it, the fixed entries included.
TEST(CodePageTables, MatchPlatformConversion) {
    for (UINT codePage : {1252u, 1253u, 1254u, 1255u, 1256u}) {
        const char16_t* table = CodePageTable(codePage);
        for (int b = 1; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            PlatformChar unit = 0;
            ASSERT_EQ(MultiByteToWideChar(codePage, 0, &byte, 1, &unit, 1), 1);
            EXPECT_EQ(static_cast<char16_t>(unit), table[b])
                << codePage << " byte " << std::hex << b;
        }
    }
}
#endif

}  // namespace
