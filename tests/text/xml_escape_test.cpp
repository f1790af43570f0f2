#include "text/xml_escape.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct EscapeCase {
    const char* label;
    std::u16string input;
    std::u16string expected;
    friend void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.label; }
};

class EscapeXmlTextTest : public testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeXmlTextTest, Escapes) {
    EXPECT_EQ(EscapeXmlText(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EscapeXmlTextTest,
    testing::Values(
        EscapeCase{"empty", u"", u""}, EscapeCase{"plain", u"plain text", u"plain text"},
        EscapeCase{"untouched", u"\u00E9\u4E2D\t\n\r\"'", u"\u00E9\u4E2D\t\n\r\"'"},
        EscapeCase{"markup", u"a<b>&c", u"a&lt;b&gt;&amp;c"},
        EscapeCase{"entity_not_recognised", u"&lt;", u"&amp;lt;"},
        EscapeCase{"amp_twice", u"&amp;", u"&amp;amp;"},
        EscapeCase{"only_replacements", u"<<>>", u"&lt;&lt;&gt;&gt;"},
        EscapeCase{"nul_inside", std::u16string(u"a\0b", 3), u"a&#0;b"},
        EscapeCase{"nul_alone", std::u16string(1, u'\0'), u"&#0;"},
        EscapeCase{"controls", u"\u0001\u000B\u001B\u001F", u"&#1;&#11;&#27;&#31;"},
        EscapeCase{"c1_edges", u"~\u007F\u0085\u009F\u00A0", u"~&#127;&#133;&#159;\u00A0"},
        EscapeCase{"replaced_last", u"abc\u0007", u"abc&#7;"},
        EscapeCase{"replaced_first", u"\u0007abc", u"&#7;abc"},
        EscapeCase{"runs", u"one & two < three > four", u"one &amp; two &lt; three &gt; four"},
        // Code units are looked at one by one; a surrogate pair passes as is,
        // and nothing above U+00FF counts as a control character.
        EscapeCase{"surrogates", u"\U0001F600", u"\U0001F600"},
        EscapeCase{"above_latin1", u"\u2028\uFEFF\uFFFF", u"\u2028\uFEFF\uFFFF"}),
    [](const testing::TestParamInfo<EscapeCase>& info) { return info.param.label; });

TEST(EscapeXmlText, LongTextKeepsEveryRun) {
    std::u16string input;
    std::u16string expected;
    for (int i = 0; i < 2000; ++i) {
        input += u"word\u0001<";
        expected += u"word&#1;&lt;";
    }
    EXPECT_EQ(EscapeXmlText(input), expected);
}

TEST(MakeXmlElement, WrapsVerbatim) {
    EXPECT_EQ(MakeXmlElement(u"Translation", u"a &amp; b"),
              u"<Translation>a &amp; b</Translation>\n");
    EXPECT_EQ(MakeXmlElement(u"T", u""), u"<T></T>\n");
    // Nothing is escaped: the caller escapes first.
    EXPECT_EQ(MakeXmlElement(u"Errors", u"<x>"), u"<Errors><x></Errors>\n");
}

// The one-buffer element must equal escaping and wrapping separately, also
// where the text is scanned in several pieces and where the buffer has to
// grow past its first size after the opening tag.
TEST(MakeEscapedXmlElement, EqualsEscapingThenWrapping) {
    const std::u16string clean(10000, u'a');
    std::u16string lateReplacement = clean;
    lateReplacement.back() = u'&';
    std::u16string dense;
    for (int i = 0; i < 3000; ++i) {
        dense += u"<\u0001>&";
    }
    const std::u16string texts[] = {u"",          u"a",  u"&",
                                    u"Haus <b>",  clean, lateReplacement,
                                    u"&" + clean, dense, clean + dense + clean};
    for (const std::u16string& text : texts) {
        for (const std::u16string_view tag : {u"T", u"Translation", u"Errors"}) {
            EXPECT_EQ(MakeEscapedXmlElement(tag, text), MakeXmlElement(tag, EscapeXmlText(text)))
                << text.size();
        }
    }
}

}  // namespace
