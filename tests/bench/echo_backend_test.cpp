#include "bench/echo_backend.h"

#include <gtest/gtest.h>

#include <string>

#include "backend/http_transport.h"
#include "bench/bare_client.h"
#include "bench/engine_harness.h"
#include "text/xml_escape.h"

namespace {

TEST(EchoBackend, AnswersEveryRequestWithItsOwnBody) {
    bench::EchoBackend backend;
    std::string body;
    for (int i = 0; i < 300000; ++i)
        body.push_back(static_cast<char>(i * 7));  // zero bytes and all the rest
    for (const std::string& sent : {std::string(), std::string("one"), body}) {
        const auto answer =
            bench::BareExchange(backend.Port(), bench::BackendRequest("any", backend.Port(), sent));
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(*answer, sent);
    }
    EXPECT_EQ(backend.Answered(), 3u);
}

// What the scaling benchmark counts on: the engine hands back the text it
// sent, escaped, in one Translation element.
TEST(EchoBackend, TheEngineGetsItsTextBack) {
    bench::EchoBackend backend;
    SetBackendPortForTesting(backend.Port());
    std::u16string text;
    for (int i = 0; i < 5000; ++i)
        text += u"line & <b> \u00E9\u0633\u4E2D\n";
    {
        bench::Apartment apartment;
        ComPtr<IQNSTranslationEngine> engine = bench::CreateEngine();
        ASSERT_TRUE(engine);
        const UniqueBstr options = CopyToBstr(bench::kArabicToEnglish);
        const UniqueBstr source = CopyToBstr(text);
        const UniqueBstr markup = bench::TranslateText(*engine.get(), options.get(), source.get());
        EXPECT_EQ(std::u16string(FromPlatform(markup.get()), SysStringLen(markup.get())),
                  MakeXmlElement(u"Translation", EscapeXmlText(text)));
    }
    SetBackendPortForTesting(0);
    EXPECT_EQ(backend.Answered(), 1u);
}

}  // namespace
