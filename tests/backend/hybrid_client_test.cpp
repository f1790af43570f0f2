#include "backend/hybrid_client.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/backend/backend_test_support.h"
#include "tools/backend/fault_names.h"

using test_backend::Fault;

namespace {

std::u16string Translation(std::u16string_view content) {
    return u"<Translation>" + std::u16string(content) + u"</Translation>\n";
}

std::u16string Errors(std::u16string_view content) {
    return u"<Errors>" + std::u16string(content) + u"</Errors>\n";
}

std::u16string Wide(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

TEST(TranslateSegment, EveryDirectionThroughTheBackEnd) {
    PointedBackend pointed;
    struct Case {
        std::u16string source;
        std::u16string target;
        std::u16string text;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"ar", u"en", u"مرحبا عالم", u"hello world"},
        {u"en", u"ar", u"hello world", u"مرحبا عالم"},
        {u"fa", u"en", u"سلام دنیا", u"hello world"},
        {u"en", u"fa", u"book and house", u"کتاب و خانه"},
        {u"it", u"en", u"Ciao mondo", u"hello world"},
        {u"de", u"en", u"Hallo Welt", u"hello world"},
    };
    for (const Case& c : cases) {
        HybridClient client(OptionsFor(c.source, c.target));
        NoHandleLeft guard;
        EXPECT_EQ(client.TranslateSegment(c.text), Translation(c.expected));
    }
    // Each chunk went out as UTF-8, with nothing around it.
    const auto requests = pointed.backend.Requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[0].body, "مرحبا عالم");
    EXPECT_EQ(requests[5].body, "Hallo Welt");
}

TEST(TranslateSegment, UnknownWordsLoseTheirMarksAndAreEscaped) {
    PointedBackend pointed;
    HybridClient client(OptionsFor(u"de", u"en"));
    // The back end marks all three: "<unk> a<b </unk> <unk> & </unk> ..."
    EXPECT_EQ(client.TranslateSegment(u"Hallo Katze"), Translation(u"hello Katze"));
    EXPECT_EQ(client.TranslateSegment(u"a<b & c>"), Translation(u"a&lt;b &amp; c&gt;"));
}

// Answers scripted byte for byte, and the markup each must give.
TEST(TranslateSegment, AnswerToMarkup) {
    PointedBackend pointed;
    HybridClient client(OptionsFor(u"it", u"en"));
    struct Case {
        std::string answer;
        std::u16string expected;
    };
    const Case cases[] = {
        {"", Translation(u"")},
        {"one <unk> two </unk> three", Translation(u"one two three")},
        {"<unk> <unk> word </unk> </unk>", Translation(u"word")},
        {"<unk<unk> > x", Translation(u"x")},
        {"<unk>word</unk>", Translation(u"&lt;unk&gt;word&lt;/unk&gt;")},
        {"&amp; \"quoted\" 'single'", Translation(u"&amp;amp; \"quoted\" 'single'")},
        {"tab\there\r\nline\x01\x1b", Translation(u"tab\there\r\nline&#1;&#27;")},
        {"caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80", Translation(u"café 中 \U0001F600")},
        {std::string("before\0after", 12), Translation(u"before")},
        {"\xEF\xBB\xBFmark", Translation(u"\uFEFFmark")},
    };
    for (const Case& c : cases) {
        pointed.backend.SetCannedAnswer(c.answer);
        EXPECT_EQ(client.TranslateSegment(u"x"), c.expected) << c.answer;
    }
}

TEST(TranslateSegment, SourceGoesOutAsUtf8WithNothingAround) {
    PointedBackend pointed;
    HybridClient client(OptionsFor(u"de", u"en"));
    const std::u16string source(u"\u00e9\U0001F600 \0x", 6);
    client.TranslateSegment(source);
    client.TranslateSegment(u"");
    const auto requests = pointed.backend.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].body, std::string("\xC3\xA9\xF0\x9F\x98\x80 \0x", 9));
    EXPECT_EQ(requests[1].body, "");
    EXPECT_EQ(requests[1].Header("Content-Length"), "0");
}

TEST(TranslateSegment, UnsupportedPairForEveryChunkWithoutTouchingTheNetwork) {
    PointedBackend pointed;
    const std::pair<std::u16string, std::u16string> pairs[] = {
        {u"en", u"de"}, {u"en", u"it"}, {u"Ar", u"en"}, {u"de ", u"en"}, {u"", u""},
    };
    for (const auto& [source, target] : pairs) {
        HybridClient client(OptionsFor(source, target));
        for (const std::u16string chunk : {u"one", u"a < b & c", u""}) {
            NoHandleLeft guard;
            std::u16string escaped = chunk == u"a < b & c" ? u"a &lt; b &amp; c" : chunk;
            EXPECT_EQ(
                client.TranslateSegment(chunk),
                Errors(u"Unsupported language pair for hybrid engine") + Translation(escaped));
        }
    }
    EXPECT_EQ(pointed.backend.RequestCount(), 0u);
}

// A back end that fails never yields an empty or partial translation reported
// as success: the message names it, and the source stands in.
TEST(TranslateSegment, FailedExchangesGiveErrorsAndTheSource) {
    struct Case {
        Fault fault;
        TransportTimeouts limits;
        std::string problem;
    };
    const Case cases[] = {
        {Fault::NotListening, kTestTimeouts, "did not answer"},
        {Fault::NoAnswer, kShortReceiveTimeouts, "did not answer"},
        {Fault::ResetMidBody, kTestTimeouts, "was cut short"},
        {Fault::ShortBody, kTestTimeouts, "was cut short"},
        {Fault::HugeBody, kTestTimeouts, "is larger than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(test_backend::FaultName(c.fault)));
        PointedBackend pointed(c.fault, c.limits);
        HybridClient client(OptionsFor(u"de", u"en"));
        NoHandleLeft guard;
        const std::u16string markup = client.TranslateSegment(u"Hallo & Welt");
        const std::u16string start =
            u"<Errors>The translation back end at " + Wide(pointed.Address()) + u" did not answer";
        const std::u16string answerStart =
            u"<Errors>The answer of the translation back end at " + Wide(pointed.Address());
        EXPECT_TRUE(markup.starts_with(c.problem == "did not answer" ? start : answerStart))
            << std::string(markup.begin(), markup.end());
        EXPECT_NE(markup.find(Wide(c.problem)), std::u16string::npos);
        EXPECT_TRUE(markup.ends_with(u"</Errors>\n" + Translation(u"Hallo &amp; Welt")));
    }
}

TEST(TranslateSegment, ErrorPageGivesTheErrorAndTheSource) {
    PointedBackend pointed(Fault::TooLarge);
    HybridClient client(OptionsFor(u"fa", u"en"));
    EXPECT_EQ(client.TranslateSegment(u"سلام <"),
              u"<Errors>The translation back end at " + Wide(pointed.Address()) +
                  u" answered 413 Payload Too Large.</Errors>\n" + Translation(u"سلام &lt;"));
}

TEST(TranslateSegment, OddAnswersStillGiveWellFormedMarkup) {
    PointedBackend pointed(Fault::NulInBody);
    HybridClient client(OptionsFor(u"de", u"en"));
    EXPECT_EQ(client.TranslateSegment(u"Haus"), Translation(u"house"));
    pointed.backend.SetFault(Fault::InvalidUtf8);
    // A stray continuation byte reads as U+0080 (a control character, so
    // escaped); a lead byte whose sequence runs past the end ends the text.
    EXPECT_EQ(client.TranslateSegment(u"Haus"), Translation(u"bad &#128; byte "));
    pointed.backend.SetFault(Fault::SlowTrickle);
    EXPECT_EQ(client.TranslateSegment(u"Hallo Welt"), Translation(u"hello world"));
}

TEST(TranslateSegment, ProxyAuthenticationDemand) {
    PointedBackend pointed(Fault::ProxyAuthOnce);
    HybridClient client(OptionsFor(u"de", u"en"));
    // Retried at once with the request's own credentials, in both builds.
    EXPECT_EQ(client.TranslateSegment(u"Hallo"), Translation(u"hello"));
    EXPECT_EQ(pointed.backend.RequestCount(), 2u);
}

TEST(HybridClient, KeepsItsOwnCopyOfTheOptions) {
    PointedBackend pointed;
    TranslationOptions options = OptionsFor(u"de", u"en");
    HybridClient client(options);
    options.SetFromText(u"<t:Option Name=\"SourceLanguage\">xx</t:Option>");
    EXPECT_EQ(client.Options().SourceLanguage(), u"de");
    EXPECT_EQ(client.TranslateSegment(u"Haus"), Translation(u"house"));
}

}  // namespace
