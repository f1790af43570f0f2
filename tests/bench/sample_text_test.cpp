#include "bench/sample_text.h"

#include <gtest/gtest.h>

#include <string>

#include "backend/remove_all.h"
#include "text/xml_escape.h"

namespace {

using bench::Script;

struct Profile {
    Script script;
    char16_t low;   // the script's own block ...
    char16_t high;  // ... of code units
    double minShare;
    double maxShare;
};

double ShareIn(const std::u16string& text, char16_t low, char16_t high) {
    std::size_t count = 0;
    for (char16_t c : text)
        count += (c >= low && c <= high) ? 1 : 0;
    return static_cast<double>(count) / static_cast<double>(text.size());
}

class SampleTextTest : public testing::TestWithParam<Profile> {};

TEST_P(SampleTextTest, ExactLengthSameEveryTimeAndNothingToEscape) {
    const Script script = GetParam().script;
    for (std::size_t units : {0u, 1u, 7u, 1000u, 100000u}) {
        const std::u16string text = bench::SampleText(script, units);
        ASSERT_EQ(text.size(), units);
        EXPECT_EQ(text, bench::SampleText(script, units));
        std::u16string filled(units, u'#');
        bench::FillSampleText(script, filled.data(), units);
        EXPECT_EQ(filled, text);
        EXPECT_EQ(text.find(u'\0'), std::u16string::npos);
        // The scaling benchmark expects the text back unchanged inside its element.
        EXPECT_EQ(EscapeXmlText(text), text) << bench::ScriptName(script) << " " << units;
    }
}

TEST_P(SampleTextTest, LooksLikeItsScript) {
    const Profile& profile = GetParam();
    const std::u16string text = bench::SampleText(profile.script, 200000);
    const double share = ShareIn(text, profile.low, profile.high);
    EXPECT_GE(share, profile.minShare) << bench::ScriptName(profile.script);
    EXPECT_LE(share, profile.maxShare) << bench::ScriptName(profile.script);
}

INSTANTIATE_TEST_SUITE_P(Scripts, SampleTextTest,
                         testing::Values(Profile{Script::Ascii, 0x00, 0x7F, 1.0, 1.0},
                                         // About one accented letter in twelve.
                                         Profile{Script::Latin, 0x80, 0x17F, 0.04, 0.12},
                                         Profile{Script::Arabic, 0x600, 0x6FF, 0.70, 0.90},
                                         Profile{Script::Chinese, 0x4E00, 0x9FFF, 0.80, 0.97}),
                         [](const testing::TestParamInfo<Profile>& info) {
                             return std::string(bench::ScriptName(info.param.script));
                         });

TEST(MarkupText, ReplacesAboutTheShareAsked) {
    for (unsigned perMille : {0u, 60u, 300u}) {
        const std::u16string text = bench::MarkupText(100000, perMille);
        ASSERT_EQ(text.size(), 100000u);
        std::size_t replaced = 0;
        for (char16_t c : text)
            replaced += EscapeXmlText(std::u16string(1, c)).size() != 1 ? 1 : 0;
        const double share = static_cast<double>(replaced) / 100000.0;
        EXPECT_NEAR(share, perMille / 1000.0, 0.01) << perMille;
    }
}

TEST(MarkedAnswer, HoldsTheMarksAskedForAndNothingElseOfThem) {
    constexpr std::u16string_view kOpen = u"<unk> ";
    constexpr std::u16string_view kClose = u" </unk>";
    for (std::size_t marks : {std::size_t{0}, std::size_t{1000}, std::size_t{16384}}) {
        const std::u16string answer = bench::MarkedAnswer(std::size_t{1} << 18, marks);
        ASSERT_EQ(answer.size(), std::size_t{1} << 18);
        std::size_t found = 0;
        for (std::u16string_view mark : {kOpen, kClose}) {
            for (std::size_t at = answer.find(mark); at != std::u16string::npos;
                 at = answer.find(mark, at + 1))
                ++found;
        }
        EXPECT_NEAR(static_cast<double>(found), static_cast<double>(marks),
                    2.0 + static_cast<double>(marks) * 0.02);
        const std::u16string cleaned = RemoveAll(RemoveAll(answer, kOpen), kClose);
        EXPECT_EQ(cleaned.find(u"unk>"), std::u16string::npos);
    }
}

}  // namespace
