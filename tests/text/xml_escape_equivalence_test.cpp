// Every set of escaping loops (scalar, SSE2, AVX2: whichever this processor
// runs) against the rule applied one code unit at a time: every density of
// characters to replace, every code unit in every place of a block, the
// edges of blocks and of the stretches the text is cut into, and nothing read
// or written past the text.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "text/xml_escape.h"
#include "text/xml_escape_kernels.h"

namespace {

using xml_escape::Kernels;

std::u16string PlainEscape(std::u16string_view text) {
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
// value and in either byte, TAB, LF and CR (which look like controls but
// stay), surrogates, and ordinary text.
constexpr char16_t kTricky[] = {u'&',  u'<',  u'>',   u'=',   u'?',   u';',   u'%',   u'\'',
                                u'"',  u'\t', u'\n',  u'\r',  0x00,   0x01,   0x08,   0x0B,
                                0x0C,  0x0E,  0x1F,   0x20,   0x27,   0x2E,   0x36,   0x7E,
                                0x7F,  0x80,  0x8F,   0x9F,   0xA0,   0xFF,   0x100,  0x126,
                                0x13C, 0x17F, 0x3C3C, 0x263E, 0xD83D, 0xDE00, 0xFFFF, 0x0626};

std::u16string RandomText(std::mt19937& random, std::size_t length, unsigned trickyPercent) {
    std::u16string text;
    for (std::size_t i = 0; i < length; ++i) {
        if (random() % 100 < trickyPercent) {
            text.push_back(kTricky[random() % std::size(kTricky)]);
        } else {
            text.push_back(random() % 4 == 0 ? static_cast<char16_t>(0x4E00 + random() % 0x100)
                                             : static_cast<char16_t>(u'a' + random() % 26));
        }
    }
    return text;
}

class XmlEscapeEquivalence : public testing::TestWithParam<const Kernels*> {
  protected:
    std::u16string Escape(std::u16string_view text) const {
        return xml_escape::EscapeWith(*GetParam(), text);
    }
};

TEST_P(XmlEscapeEquivalence, MatchesTheRuleAtEveryDensity) {
    std::mt19937 random(31337);
    for (unsigned percent : {0u, 1u, 6u, 25u, 60u, 100u}) {
        for (int round = 0; round < 500; ++round) {
            const std::size_t length = round < 450 ? random() % 140 : 1000 + random() % 9000;
            const std::u16string text = RandomText(random, length, percent);
            ASSERT_EQ(Escape(text), PlainEscape(text))
                << "percent " << percent << " round " << round;
        }
    }
}

TEST_P(XmlEscapeEquivalence, EveryCodeUnitInEveryPlaceOfThreeBlocks) {
    // 96 units: two 32-unit steps and a tail, four 16-unit steps, and the
    // places where a step may no longer read a whole block ahead.
    for (std::uint32_t unit = 0; unit <= 0xFFFF; unit += (unit < 0x200 ? 1 : 97)) {
        for (std::size_t place = 0; place < 96; ++place) {
            std::u16string text(96, u'x');
            text[place] = static_cast<char16_t>(unit);
            ASSERT_EQ(Escape(text), PlainEscape(text)) << unit << " at " << place;
        }
    }
}

TEST_P(XmlEscapeEquivalence, ReplacementsAtEveryPlaceOfEveryShortLength) {
    // Each length ends its last block in a different place, so every tail
    // path sees a replacement first, last, alone and next to another.
    for (std::size_t length = 1; length <= 140; ++length) {
        for (std::size_t place = 0; place < length; ++place) {
            for (char16_t c : {u'&', char16_t{0x9F}, char16_t{0x00}, u'\n'}) {
                std::u16string text(length, u'w');
                text[place] = c;
                ASSERT_EQ(Escape(text), PlainEscape(text)) << length << ", at " << place;
                text[length - 1 - place] = u'<';
                ASSERT_EQ(Escape(text), PlainEscape(text)) << length << ", at " << place;
            }
        }
    }
}

TEST_P(XmlEscapeEquivalence, ReplacementsAtTheEdgesOfTheStretches) {
    // The text is scanned 4096 units at a time and escaped 512 at a time:
    // hits on either side of those edges, and a first hit only at the very
    // end of a long clean text.
    std::vector<std::size_t> places;
    for (std::size_t edge : {32u, 64u, 512u, 1024u, 4096u, 4608u, 8192u}) {
        for (std::size_t delta = 0; delta < 3; ++delta) {
            places.push_back(edge - 1 + delta);
        }
    }
    for (std::size_t length : {4095u, 4096u, 4097u, 8191u, 8192u, 8193u, 9000u}) {
        for (std::size_t place : places) {
            if (place >= length)
                continue;
            std::u16string text(length, u'\u00E9');
            text[place] = u'>';
            ASSERT_EQ(Escape(text), PlainEscape(text)) << length << ", at " << place;
            text[length - 1] = 0x7F;
            ASSERT_EQ(Escape(text), PlainEscape(text)) << length << ", at " << place;
        }
        std::u16string text(length, u'a');
        text.back() = u'&';
        ASSERT_EQ(Escape(text), PlainEscape(text)) << length;
    }
}

TEST_P(XmlEscapeEquivalence, OnlyReplacementsGrowTheTextSixfold) {
    // The longest replacements back to back overflow any buffer sized for
    // less than six units out for one in.
    for (char16_t c : {u'&', char16_t{0x9F}, char16_t{0x7F}, char16_t{0x1F}}) {
        for (std::size_t length : {1u, 7u, 8u, 9u, 16u, 17u, 31u, 32u, 33u, 63u, 64u, 65u, 333u,
                                   511u, 512u, 513u, 5000u}) {
            const std::u16string text(length, c);
            ASSERT_EQ(Escape(text), PlainEscape(text)) << length;
        }
    }
    std::u16string mixed;
    for (int i = 0; i < 500; ++i)
        mixed += u"\u0085\t&\n\u009F\r>";
    EXPECT_EQ(Escape(mixed), PlainEscape(mixed));
}

TEST_P(XmlEscapeEquivalence, LineBreaksAloneComeBackAsTheyWere) {
    // TAB, LF and CR sit among the replaced controls but are kept: text made
    // of them and letters needs nothing replaced.
    std::u16string text;
    for (int i = 0; i < 300; ++i)
        text += (i % 3 == 0) ? u"\r\n" : (i % 3 == 1 ? u"\t" : u"word");
    EXPECT_EQ(Escape(text), text);
    EXPECT_EQ(Escape(text + u"<"), text + u"&lt;");
}

TEST_P(XmlEscapeEquivalence, SurrogatePairsPassUnitByUnit) {
    std::u16string text;
    for (int i = 0; i < 200; ++i) {
        text += u"\U0001F600";
        if (i % 7 == 0)
            text += u"<";
        if (i % 11 == 0)
            text.push_back(u'\xD800');  // a lone high surrogate stays as it is
    }
    EXPECT_EQ(Escape(text), PlainEscape(text));
}

TEST_P(XmlEscapeEquivalence, ReadsAndKeepsNothingPastTheText) {
    // Each text sits alone in a heap block of its exact size (the address
    // sanitizer reports any read past it) or in front of units that would be
    // replaced if they were taken in.
    std::mt19937 random(4242);
    for (std::size_t length = 0; length <= 200; ++length) {
        const std::u16string text = RandomText(random, length, 20);
        auto exact = std::make_unique<char16_t[]>(length + 1);
        std::copy(text.begin(), text.end(), exact.get());
        ASSERT_EQ(Escape(std::u16string_view(exact.get(), length)), PlainEscape(text)) << length;

        std::u16string followed = text + std::u16string(80, u'<');
        ASSERT_EQ(Escape(std::u16string_view(followed).substr(0, length)), PlainEscape(text))
            << length;
    }
}

TEST_P(XmlEscapeEquivalence, FindStopsAtTheFirstHitWithinItsRange) {
    std::mt19937 random(777);
    const Kernels& scalar = xml_escape::ScalarKernels();
    for (int round = 0; round < 300; ++round) {
        const std::u16string text = RandomText(random, 300, round % 4);
        const std::size_t from = random() % 150;
        const std::size_t to = from + random() % 150;
        const char16_t* p = text.data();
        EXPECT_EQ(GetParam()->find(p + from, p + to), scalar.find(p + from, p + to))
            << "round " << round << ", " << from << " to " << to;
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, XmlEscapeEquivalence,
                         testing::ValuesIn(xml_escape::AvailableKernels()),
                         [](const testing::TestParamInfo<const Kernels*>& info) {
                             return std::string(info.param->name);
                         });

TEST(XmlEscapeKernels, EscapeXmlTextRunsTheLastSetAvailable) {
    // Text with all kinds of units, checked against the set it should use.
    std::mt19937 random(99);
    const std::u16string text = RandomText(random, 5000, 30);
    EXPECT_EQ(EscapeXmlText(text),
              xml_escape::EscapeWith(*xml_escape::AvailableKernels().back(), text));
    EXPECT_EQ(EscapeXmlText(text), PlainEscape(text));
}

}  // namespace
