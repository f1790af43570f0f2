#include "backend/translation_options.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

std::u16string Entry(std::u16string_view name, std::u16string_view value) {
    return std::u16string(u"<t:Option Name=\"") + std::u16string(name) + u"\">" +
           std::u16string(value) + u"</t:Option>";
}

struct ScanCase {
    const char* label;
    std::u16string text;
    OptionMap expected;
    friend void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.label; }
};

class ScanOptionsTest : public testing::TestWithParam<ScanCase> {};

TEST_P(ScanOptionsTest, Scans) {
    EXPECT_EQ(ScanOptions(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanOptionsTest,
    testing::Values(
        ScanCase{"empty", u"", {}}, ScanCase{"no_entries", u"just some text <t:Option", {}},
        ScanCase{"one", Entry(u"SourceLanguage", u"ar"), {{u"SourceLanguage", u"ar"}}},
        ScanCase{"surrounded",
                 u"<t:Options>\n  " + Entry(u"A", u"1") + u"\n  junk " + Entry(u"B", u"2") +
                     u"\n</t:Options>",
                 {{u"A", u"1"}, {u"B", u"2"}}},
        ScanCase{"adjacent", Entry(u"A", u"1") + Entry(u"B", u"2"), {{u"A", u"1"}, {u"B", u"2"}}},
        ScanCase{"first_duplicate_wins", Entry(u"S", u"ar") + Entry(u"S", u"en"), {{u"S", u"ar"}}},
        ScanCase{"empty_value", Entry(u"A", u"") + Entry(u"B", u"x"), {{u"A", u""}, {u"B", u"x"}}},
        ScanCase{"empty_name_ends_scan",
                 Entry(u"A", u"1") + Entry(u"", u"2") + Entry(u"C", u"3"),
                 {{u"A", u"1"}}},
        ScanCase{"missing_close_ends_scan",
                 Entry(u"A", u"1") + u"<t:Option Name=\"B\">2",
                 {{u"A", u"1"}}},
        ScanCase{"missing_name_end_ends_scan", u"<t:Option Name=\"A</t:Option>", {}},
        ScanCase{"no_quote_no_entry", u"<t:Option Name=A>1</t:Option>", {}},
        // The value runs to the first closing literal, so it may hold markup,
        // and nothing is decoded or trimmed.
        ScanCase{"markup_value", Entry(u"A", u"<b>&amp; x </b>"), {{u"A", u"<b>&amp; x </b>"}}},
        ScanCase{"blanks_kept", Entry(u" A ", u" 1 "), {{u" A ", u" 1 "}}},
        // The name runs to the first quote-and-bracket, whatever it holds.
        ScanCase{"name_with_quote", u"<t:Option Name=\"a\"b\">v</t:Option>", {{u"a\"b", u"v"}}},
        // A closing literal before the value's end ends the value there.
        ScanCase{"value_cut_at_first_close",
                 u"<t:Option Name=\"A\">x</t:Option>y</t:Option>",
                 {{u"A", u"x"}}},
        // An opening literal inside a name is part of the name.
        ScanCase{"opening_inside_name",
                 u"<t:Option Name=\"<t:Option Name=\"B\">v</t:Option>",
                 {{u"<t:Option Name=\"B", u"v"}}},
        ScanCase{"case_sensitive_names",
                 Entry(u"a", u"1") + Entry(u"A", u"2"),
                 {{u"A", u"2"}, {u"a", u"1"}}},
        ScanCase{"non_ascii",
                 Entry(u"N\u00E9", u"\u4E2D\U0001F600"),
                 {{u"N\u00E9", u"\u4E2D\U0001F600"}}}),
    [](const testing::TestParamInfo<ScanCase>& info) { return info.param.label; });

TEST(TranslationOptions, PullsOutTheThreeLanguages) {
    TranslationOptions options;
    options.SetFromText(Entry(u"SourceLanguage", u"ar") + Entry(u"TranslationLanguage", u"en") +
                        Entry(u"UILanguage", u"de") + Entry(u"SourceLanguage", u"en"));
    EXPECT_EQ(options.SourceLanguage(), u"ar");
    EXPECT_EQ(options.TranslationLanguage(), u"en");
    EXPECT_EQ(options.UILanguage(), u"de");
    EXPECT_EQ(options.Entries().size(), 3u);
    EXPECT_EQ(options.GetOption(u"UILanguage", u"x"), u"de");
    EXPECT_EQ(options.GetOption(u"Missing", u"fallback"), u"fallback");
    EXPECT_EQ(options.GetOption(u"uilanguage", u""), u"");
}

TEST(TranslationOptions, MissingOrMiscasedNamesLeaveLanguagesEmpty) {
    TranslationOptions options;
    options.SetFromText(Entry(u"sourceLanguage", u"ar") + u"garbage");
    EXPECT_EQ(options.SourceLanguage(), u"");
    EXPECT_EQ(options.TranslationLanguage(), u"");
    EXPECT_EQ(options.UILanguage(), u"");
    EXPECT_EQ(options.RawText(), Entry(u"sourceLanguage", u"ar") + u"garbage");
}

TEST(TranslationOptions, SetFromTextReplacesEverything) {
    TranslationOptions options;
    options.SetFromText(Entry(u"SourceLanguage", u"ar") + Entry(u"Other", u"1"));
    options.SetFromText(Entry(u"TranslationLanguage", u"fa"));
    EXPECT_EQ(options.SourceLanguage(), u"");
    EXPECT_EQ(options.TranslationLanguage(), u"fa");
    EXPECT_EQ(options.Entries(), (OptionMap{{u"TranslationLanguage", u"fa"}}));

    // Copies are whole and independent.
    TranslationOptions copy = options;
    options.SetFromText(u"");
    EXPECT_EQ(copy.TranslationLanguage(), u"fa");
    EXPECT_EQ(copy.RawText(), Entry(u"TranslationLanguage", u"fa"));
    EXPECT_TRUE(options.Entries().empty());
}

TEST(SerializeOptions, WritesEntriesInMapOrder) {
    EXPECT_EQ(SerializeOptions({}), u"");
    EXPECT_EQ(
        SerializeOptions({{u"MaximumUserDictionaries", u"0"}, {u"MaximumDictionaries", u"7"}}),
        u"<t:Option Name=\"MaximumDictionaries\">7</t:Option>\n"
        u"<t:Option Name=\"MaximumUserDictionaries\">0</t:Option>");
    EXPECT_EQ(SerializeOptions({{u"A", u"<&>"}}), u"<t:Option Name=\"A\"><&></t:Option>");
}

TEST(SerializeOptions, ScanReadsBackWhatWasWritten) {
    const OptionMap entries = {{u"A", u""}, {u"B", u"two words"}, {u"C\u00E9", u"\u4E2D"}};
    EXPECT_EQ(ScanOptions(SerializeOptions(entries)), entries);
}

}  // namespace
