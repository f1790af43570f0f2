// The tool's own text handling: strict UTF-8 for files, the chunk layout that
// keeps blank lines out of the job, and reading the engine's chunk markup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/host/chunking.h"
#include "tools/host/markup.h"
#include "tools/host/utf8_text.h"

namespace host {
namespace {

TEST(Utf8Text, DecodesValidTextAndDropsOneByteOrderMark) {
    struct Case {
        std::string bytes;
        std::u16string text;
        bool bom;
    };
    const Case cases[] = {
        {"", u"", false},
        {"\xEF\xBB\xBF", u"", true},
        {"\xEF\xBB\xBFHaus", u"Haus", true},
        {"\xEF\xBB\xBF\xEF\xBB\xBFx", u"\uFEFFx", true},  // only the first mark is dropped
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         u"Grüße", false},
        {"\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85", u"سلام", false},
        {"\xE2\x82\xAC", u"€", false},
        {"\xF0\x9F\x98\x80", u"\U0001F600", false},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3), false},
    };
    for (const Case& c : cases) {
        DecodeFailure failure;
        const auto decoded = DecodeUtf8Strict(c.bytes, &failure);
        ASSERT_TRUE(decoded.has_value()) << c.bytes;
        EXPECT_EQ(decoded->text, c.text) << c.bytes;
        EXPECT_EQ(decoded->hadBom, c.bom) << c.bytes;
        EXPECT_EQ(EncodeUtf8(decoded->text),
                  c.bom ? c.bytes.substr(3) : c.bytes);  // what comes in goes out
    }
}

TEST(Utf8Text, RejectsMalformedInputAtTheFirstBadByte) {
    struct Case {
        std::string bytes;
        std::size_t offset;
    };
    const Case cases[] = {
        {"ok \x80", 3},            // lone continuation byte
        {"\xC0\x80", 0},           // over-long NUL
        {"ab\xE0\x80\xAF", 2},     // over-long slash
        {"\xED\xA0\x80", 0},       // UTF-16 surrogate
        {"x\xF4\x90\x80\x80", 1},  // beyond U+10FFFF
        {"\xF5\x80\x80\x80", 0},   // lead byte that never starts a sequence
        {"Gr\xC3", 2},             // cut at the end
        {"Gr\xC3x", 2},            // continuation missing
        {"caf\xE9 latin-1", 3},    // Latin-1, the usual mistake
    };
    for (const Case& c : cases) {
        DecodeFailure failure;
        EXPECT_FALSE(DecodeUtf8Strict(c.bytes, &failure).has_value()) << c.bytes;
        EXPECT_EQ(failure.offset, c.offset) << c.bytes;
    }
    DecodeFailure failure;
    EXPECT_FALSE(DecodeUtf8Strict(std::string("\xFF\xFEh\0i\0", 6), &failure));
    EXPECT_NE(failure.hint.find("UTF-16"), std::string::npos);
}

TEST(Utf8Text, LoneSurrogatesBecomeTheReplacementCharacter) {
    const char16_t high[] = {0xD800, u'x'};
    const char16_t low[] = {u'x', 0xDC00};
    EXPECT_EQ(EncodeUtf8(std::u16string_view(high, 2)), "\xEF\xBF\xBDx");
    EXPECT_EQ(EncodeUtf8(std::u16string_view(low, 2)), "x\xEF\xBF\xBD");
}

std::u16string Reassembled(const ChunkLayout& layout) {
    std::u16string text = layout.gaps.at(0);
    for (std::size_t i = 0; i < layout.chunks.size(); ++i) {
        text += layout.chunks[i] + layout.gaps.at(i + 1);
    }
    return text;
}

TEST(Chunking, EachModeCutsTheInputAndKeepsItsLayout) {
    struct Case {
        ChunkMode mode;
        std::u16string input;
        std::vector<std::u16string> chunks;
        std::vector<std::u16string> gaps;
    };
    const std::u16string text = u"\nHallo Welt\nHaus\n\n  \nBuch und Haus\n";
    const Case cases[] = {
        {ChunkMode::Line,
         text,
         {u"Hallo Welt", u"Haus", u"Buch und Haus"},
         {u"\n", u"\n", u"\n\n  \n", u"\n"}},
        {ChunkMode::Paragraph,
         text,
         {u"Hallo Welt\nHaus", u"Buch und Haus"},
         {u"\n", u"\n\n  \n", u"\n"}},
        {ChunkMode::Whole, text, {u"Hallo Welt\nHaus\n\n  \nBuch und Haus"}, {u"\n", u"\n"}},
        // No final line feed.
        {ChunkMode::Line, u"a\nb", {u"a", u"b"}, {u"", u"\n", u""}},
        {ChunkMode::Paragraph, u"a\nb", {u"a\nb"}, {u"", u""}},
        // Blank input gives no chunk at all: an empty chunk would end the job.
        {ChunkMode::Line, u" \n\t\n", {}, {u" \n\t\n"}},
        {ChunkMode::Paragraph, u"", {}, {u""}},
        {ChunkMode::Whole, u"\n\n", {}, {u"\n\n"}},
        // Windows line ends read as line feeds.
        {ChunkMode::Paragraph, u"a\r\nb\r\n\r\nc\r\n", {u"a\nb", u"c"}, {u"", u"\n\n", u"\n"}},
    };
    for (const Case& c : cases) {
        const ChunkLayout layout = SplitIntoChunks(c.input, c.mode);
        EXPECT_EQ(layout.chunks, c.chunks) << static_cast<int>(c.mode);
        EXPECT_EQ(layout.gaps, c.gaps) << static_cast<int>(c.mode);
        std::u16string normalized;
        for (char16_t ch : c.input) {
            if (ch != u'\r') {
                normalized += ch;
            }
        }
        EXPECT_EQ(Reassembled(layout), normalized);
    }
}

TEST(Chunking, ModeNamesAndCharacterCount) {
    EXPECT_EQ(ChunkModeFromName("line"), ChunkMode::Line);
    EXPECT_EQ(ChunkModeFromName("paragraph"), ChunkMode::Paragraph);
    EXPECT_EQ(ChunkModeFromName("whole"), ChunkMode::Whole);
    EXPECT_FALSE(ChunkModeFromName("Line").has_value());
    EXPECT_FALSE(ChunkModeFromName("").has_value());
    EXPECT_EQ(SplitIntoChunks(u"ab\ncde\n", ChunkMode::Line).TotalChunkChars(), 5u);
}

TEST(Markup, DecodesReferencesAndLeavesEverythingElse) {
    struct Case {
        std::u16string in;
        std::u16string out;
    };
    const Case cases[] = {
        {u"a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;", u"a & b <c> \"d\" 'e'"},
        {u"&#65;&#x42;&#X43;", u"ABC"},
        {u"&#x1F600;", u"\U0001F600"},
        {u"&#1;&#x1f;", u"\u0001\u001F"},
        {u"&nbsp; &; & alone; &#xD800; &#99999999; &#x;",
         u"&nbsp; &; & alone; &#xD800; "
         u"&#99999999; &#x;"},
        {u"Tom & Jerry", u"Tom & Jerry"},
        {u"&amp;amp;", u"&amp;"},  // decoded once only
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeXmlText(c.in), c.out);
    }
}

TEST(Markup, ReadsTheTranslationAndAnyErrorsOfAChunk) {
    struct Case {
        std::u16string markup;
        std::vector<std::u16string> errors;
        std::u16string translation;
        bool wellFormed;
    };
    const Case cases[] = {
        {u"<Translation>hello &amp; world</Translation>\n", {}, u"hello & world", true},
        {u"<Translation></Translation>\n", {}, u"", true},
        {u"<Errors>Unsupported language pair for hybrid engine</Errors>\n"
         u"<Translation>a&lt;b</Translation>\n",
         {u"Unsupported language pair for hybrid engine"},
         u"a<b",
         true},
        {u"<Errors>x &lt; y &amp;amp; z</Errors>\n<Translation>t</Translation>\n",
         {u"x < y &amp; z"},
         u"t",
         true},
        {u"<Errors>one</Errors>\n<Errors>two</Errors>\n<Translation>t</Translation>\n",
         {u"one", u"two"},
         u"t",
         true},
        {u"<Errors>only</Errors>\n", {u"only"}, u"", false},
        {u"plain text", {}, u"", false},
        {u"<Translation>cut off", {}, u"", false},
    };
    for (const Case& c : cases) {
        const ChunkMarkup parsed = ParseChunkMarkup(c.markup);
        EXPECT_EQ(parsed.errors, c.errors);
        EXPECT_EQ(parsed.translation, c.translation);
        EXPECT_EQ(parsed.wellFormed, c.wellFormed);
    }
}

}  // namespace
}  // namespace host
