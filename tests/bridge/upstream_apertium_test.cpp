#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "backend/http_transport.h"
#include "backend/hybrid_client.h"
#include "backend/translation_options.h"
#include "bridge/upstream_apertium.h"
#include "bridge/upstream_pool.h"
#include "tests/bridge/bridge_test_support.h"
#include "tests/bridge/support/apertium_server.h"

namespace {

using namespace std::chrono_literals;

TEST(MarkUnknownWords, TurnsApertiumMarksIntoTheEnginesMarks) {
    struct Case {
        const char* apertium;
        const char* marked;
    };
    const Case cases[] = {
        {"an apple *zorblax in", "an apple <unk> zorblax </unk> in"},
        {"*Zorblax, *qux.", "<unk> Zorblax </unk>, <unk> qux </unk>."},
        {"*a;*b:*c\t*d", "<unk> a </unk>;<unk> b </unk>:<unk> c </unk>\t<unk> d </unk>"},
        {"end *zorblax\nnext", "end <unk> zorblax </unk>\nnext"},
        {"*caf\u00E9 *\u0645\u0631\u062D\u0628\u0627",
         "<unk> caf\u00E9 </unk> <unk> \u0645\u0631\u062D\u0628\u0627 </unk>"},
        {"5 * 3 = 15, **x", "5 * 3 = 15, *<unk> x </unk>"},
        {"no marks", "no marks"},
        {"*", "*"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bridge::MarkUnknownWords(c.apertium), c.marked) << c.apertium;
    }
}

class RealApertium : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (bridge_test::ApertiumServer::MissingReason().empty()) {
            server_ = std::make_unique<bridge_test::ApertiumServer>();
        }
    }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        if (!server_) {
            GTEST_SKIP() << bridge_test::ApertiumServer::MissingReason();
        }
    }

    static bridge::UpstreamSettings Settings() {
        bridge::UpstreamSettings settings;
        settings.name = "apy";
        settings.kind = bridge::UpstreamKind::Apertium;
        settings.url = server_->Url();
        settings.timeout = 20s;
        return settings;
    }

    static std::unique_ptr<bridge_test::ApertiumServer> server_;
};

std::unique_ptr<bridge_test::ApertiumServer> RealApertium::server_;

TEST_F(RealApertium, TranslatesWithUnknownWordsMarked) {
    const auto upstream = bridge::MakeUpstream(Settings(), bridge::MakeHttpClient());
    EXPECT_EQ(
        upstream->Translate("El perro come una manzana zorblax en la casa.\nHola zorblax", "spa",
                            "eng"),
        "The dog eats an apple <unk> zorblax </unk> in the house.\nHello <unk> zorblax </unk>");
}

TEST_F(RealApertium, PairNotInstalledIsAnUpstreamErrorWithApertiumsExplanation) {
    const auto upstream = bridge::MakeUpstream(Settings(), bridge::MakeHttpClient());
    try {
        upstream->Translate("Hallo", "deu", "eng");
        ADD_FAILURE() << "translated";
    } catch (const bridge::UpstreamError& error) {
        EXPECT_EQ(error.Status(), 502);
        EXPECT_FALSE(error.ConnectionLevel());
        EXPECT_EQ(std::string(error.what()),
                  upstream->Describe() + " answered 400: That pair is not installed");
    }
}

TEST_F(RealApertium, LongTextIsTranslatedInPieces) {
    bridge::UpstreamSettings settings = Settings();
    settings.maxChars = 20;
    const auto translator =
        bridge::MakeTranslator({settings}, {{"de-en", {{"apy", "spa", "eng"}}}});
    EXPECT_EQ(translator->Translate("de-en", "El perro come.\n\nLa casa es grande.").text,
              "The dog eats.\n\nThe house is big.");
    EXPECT_EQ(translator->Snapshot()[0].calls, 2u);
}

// The engine's requests through the bridge's serving side to the real APy:
// the answer carries the engine's marks, and the engine's own client removes
// them, so the unknown word reaches the host bare.
TEST_F(RealApertium, EngineRequestsThroughTheBridgeGetApertiumsTranslation) {
    const auto apertium =
        bridge::MakeTranslator({Settings()}, {{"it-en", {{"apy", "spa", "eng"}}}});
    serve_test::ServedBridge bridge;
    bridge.translator.SetAnswer([&](std::string_view direction, std::string_view text) {
        return apertium->Translate(direction, text);
    });
    constexpr const char* kSpanish = "El perro come una manzana zorblax en la casa.";
    const std::string answer = serve_test::Exchange(
        bridge.Port(), serve_test::EnginePost("/fcgiDispatch.ie?cmd0=iten-preprocess", kSpanish));
    EXPECT_EQ(serve_test::StatusLine(answer), "HTTP/1.0 200 OK");
    EXPECT_EQ(serve_test::Body(answer), "The dog eats an apple <unk> zorblax </unk> in the house.");

    SetBackendPortForTesting(bridge.Port());
    TranslationOptions options;
    options.SetFromText(
        u"<t:Option Name=\"SourceLanguage\">it</t:Option>"
        u"<t:Option Name=\"TranslationLanguage\">en</t:Option>");
    HybridClient client(options);
    EXPECT_EQ(client.TranslateSegment(u"El perro come una manzana zorblax en la casa."),
              u"<Translation>The dog eats an apple zorblax in the house.</Translation>\n");
    SetBackendPortForTesting(0);
}

}  // namespace
