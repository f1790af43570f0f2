#include "bench/iconv_converter.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "bench/sample_text.h"
#include "text/code_pages.h"

namespace {

using bench::Script;

// The yardstick must do the same work as the engine: the same text in, the
// same text out, for every script measured.
TEST(IconvConverter, AgreesWithTheEngineOnEverySample) {
    bench::IconvConverter decoder("UTF-16LE", "UTF-8");
    bench::IconvConverter encoder("UTF-8", "UTF-16LE");
    for (Script script : {Script::Ascii, Script::Latin, Script::Arabic, Script::Chinese}) {
        const std::u16string text = bench::SampleText(script, 50000);
        const std::string utf8 = WideToNarrow(text, kCodePageUtf8);
        EXPECT_EQ(bench::IconvUtf16ToUtf8(encoder, text), utf8) << bench::ScriptName(script);
        EXPECT_EQ(bench::IconvUtf8ToUtf16(decoder, utf8), text) << bench::ScriptName(script);
        // Reused after a conversion, the descriptor starts afresh.
        EXPECT_EQ(bench::IconvUtf8ToUtf16(decoder, utf8), text) << bench::ScriptName(script);
    }
    const std::u16string pair = u"a\U0001F600b";
    EXPECT_EQ(bench::IconvUtf8ToUtf16(decoder, bench::IconvUtf16ToUtf8(encoder, pair)), pair);
}

TEST(IconvConverter, FailuresGiveNothingRatherThanPart) {
    bench::IconvConverter decoder("UTF-16LE", "UTF-8");
    EXPECT_EQ(bench::IconvUtf8ToUtf16(decoder, "ok \xFF then"), u"");
    EXPECT_EQ(bench::IconvUtf8ToUtf16(decoder, "cut \xE4\xB8"), u"");
    EXPECT_EQ(bench::IconvUtf8ToUtf16(decoder, "fine"), u"fine");
    EXPECT_THROW(bench::IconvConverter("UTF-8", "NO-SUCH-CHARSET"), std::runtime_error);
}

}  // namespace
