// The engine's own client of the back end (the code the server runs) posting
// chunks to the bridge: a translation arrives with the unknown-word marks
// removed, and an upstream's time-out reaches the chunk's Errors element with
// the bridge's reason.
#include <gtest/gtest.h>

#include "backend/http_transport.h"
#include "backend/hybrid_client.h"
#include "backend/translation_options.h"
#include "tests/bridge/bridge_test_support.h"

namespace {

using namespace serve_test;

TranslationOptions Pair(std::u16string_view source, std::u16string_view target) {
    TranslationOptions options;
    options.SetFromText(u"<t:Option Name=\"SourceLanguage\">" + std::u16string(source) +
                        u"</t:Option><t:Option Name=\"TranslationLanguage\">" +
                        std::u16string(target) + u"</t:Option>");
    return options;
}

class EngineThroughBridge : public ::testing::Test {
  protected:
    EngineThroughBridge() : bridge(Options()) { SetBackendPortForTesting(bridge.Port()); }
    ~EngineThroughBridge() override { SetBackendPortForTesting(0); }

    // Both loopbacks: the system's client may try ::1 first for "localhost".
    static BridgeOptions Options() {
        BridgeOptions options;
        options.addresses = {"127.0.0.1", "::1"};
        options.limits.maxBodyBytes = 1u << 20;
        return options;
    }

    ServedBridge bridge;
};

TEST_F(EngineThroughBridge, TranslationArrivesWithoutUnknownWordMarks) {
    bridge.translator.SetAnswer([](std::string_view direction, std::string_view text) {
        EXPECT_EQ(direction, "de-en");
        EXPECT_EQ(text,
                  "Hallo zorblax Welt & Stra\xC3\x9F"
                  "e");
        return Translation{"Hello <unk> zorblax </unk> world & street", "Fake at test"};
    });
    HybridClient client(Pair(u"de", u"en"));
    EXPECT_EQ(client.TranslateSegment(u"Hallo zorblax Welt & Straße"),
              u"<Translation>Hello zorblax world &amp; street</Translation>\n");
    EXPECT_EQ(bridge.translator.Calls().size(), 1u);
}

TEST_F(EngineThroughBridge, UpstreamTimeOutReachesTheErrorsElementWithTheBridgesReason) {
    bridge.translator.SetAnswer([](std::string_view, std::string_view) -> Translation {
        throw UpstreamError(504, "LibreTranslate at 127.0.0.1:5000 did not answer within 20000 ms",
                            true);
    });
    HybridClient client(Pair(u"it", u"en"));
    const std::u16string port = [&] {
        const std::string digits = std::to_string(bridge.Port());
        return std::u16string(digits.begin(), digits.end());
    }();
    EXPECT_EQ(client.TranslateSegment(u"Ciao a<b"),
              u"<Errors>The translation back end at localhost:" + port +
                  u" answered 504 LibreTranslate at 127.0.0.1:5000 did not answer within 20000 "
                  u"ms.</Errors>\n<Translation>Ciao a&lt;b</Translation>\n");
}

}  // namespace
