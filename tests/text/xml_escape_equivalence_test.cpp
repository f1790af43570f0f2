// EscapeXmlText's block scan and block copy against the rule applied one code
// unit at a time, on text with every density of characters to replace and
// every code unit in every place of a block.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "text/xml_escape.h"

namespace {

std::u16string PlainEscape(const std::u16string& text) {
    std::u16string out;
    for (char16_t c : text) {
        if (c == u'&') {
            out += u"&amp;";
        } else if (c == u'<') {
            out += u"&lt;";
        } else if (c == u'>') {
            out += u"&gt;";
        } else if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') ||
                   (c >= 0x7F && c <= 0x9F)) {
            out += u"&#";
            for (char ch : std::to_string(static_cast<unsigned>(c)))
                out.push_back(static_cast<char16_t>(ch));
            out += u";";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// The units a scan has to tell apart: those replaced, their neighbours in
// value, TAB, LF and CR (which look like controls but stay), and ordinary text.
constexpr char16_t kTricky[] = {u'&',  u'<',   u'>',   u'=',   u'?',   u';',   u'%',
                                u'\'', u'"',   u'\t',  u'\n',  u'\r',  0x00,   0x01,
                                0x1F,  0x20,   0x7E,   0x7F,   0x80,   0x9F,   0xA0,
                                0xFF,  0x3C3C, 0x263E, 0xD800, 0xDC00, 0xFFFF, 0x0626};

std::u16string RandomText(std::mt19937& random, std::size_t length, unsigned trickyPercent) {
    std::u16string text;
    for (std::size_t i = 0; i < length; ++i) {
        if (random() % 100 < trickyPercent) {
            text.push_back(kTricky[random() % (sizeof kTricky / sizeof kTricky[0])]);
        } else {
            text.push_back(random() % 4 == 0 ? static_cast<char16_t>(0x4E00 + random() % 0x100)
                                             : static_cast<char16_t>(u'a' + random() % 26));
        }
    }
    return text;
}

TEST(XmlEscapeEquivalence, MatchesTheRuleAtEveryDensity) {
    std::mt19937 random(31337);
    for (unsigned percent : {0u, 1u, 6u, 25u, 60u, 100u}) {
        for (int round = 0; round < 500; ++round) {
            const std::size_t length = round < 450 ? random() % 70 : 1000 + random() % 4000;
            const std::u16string text = RandomText(random, length, percent);
            ASSERT_EQ(EscapeXmlText(text), PlainEscape(text))
                << "percent " << percent << " round " << round;
        }
    }
}

TEST(XmlEscapeEquivalence, EveryCodeUnitInEveryPlaceOfTwoBlocks) {
    for (std::uint32_t unit = 0; unit <= 0xFFFF; unit += (unit < 0x200 ? 1 : 97)) {
        for (std::size_t place = 0; place < 20; ++place) {
            std::u16string text(20, u'x');
            text[place] = static_cast<char16_t>(unit);
            ASSERT_EQ(EscapeXmlText(text), PlainEscape(text)) << unit << " at " << place;
        }
    }
}

TEST(XmlEscapeEquivalence, OnlyReplacementsGrowTheTextFivefoldAndMore) {
    // The longest replacements back to back: the output is sized up front,
    // so these check that the estimate is never short.
    for (char16_t c : {u'&', static_cast<char16_t>(0x9F), static_cast<char16_t>(0x7F)}) {
        for (std::size_t length : {1u, 7u, 8u, 9u, 16u, 17u, 333u}) {
            const std::u16string text(length, c);
            EXPECT_EQ(EscapeXmlText(text), PlainEscape(text)) << length;
        }
    }
    std::u16string mixed;
    for (int i = 0; i < 500; ++i)
        mixed += u"\u0085\t&\n\u009F\r>";
    EXPECT_EQ(EscapeXmlText(mixed), PlainEscape(mixed));
}

TEST(XmlEscapeEquivalence, LineBreaksAloneComeBackAsTheyWere) {
    // TAB, LF and CR stop the block scan but are kept: text made of them and
    // letters needs nothing replaced.
    std::u16string text;
    for (int i = 0; i < 300; ++i)
        text += (i % 3 == 0) ? u"\r\n" : (i % 3 == 1 ? u"\t" : u"word");
    EXPECT_EQ(EscapeXmlText(text), text);
    EXPECT_EQ(EscapeXmlText(text + u"<"), text + u"&lt;");
}

}  // namespace
