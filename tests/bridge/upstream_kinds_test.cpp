// LibreTranslate, OPUS-MT and chat completions through the platform's HTTP
// client, against stand-ins that answer as those servers' APIs describe.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bridge/upstream_common.h"
#include "bridge/upstream_pool.h"
#include "tests/bridge/support/mt_stand_ins.h"
#include "tests/bridge/support/stand_in_server.h"

namespace {

using namespace std::chrono_literals;
using bridge::UpstreamKind;
using bridge_test::StandInScript;
using bridge_test::StandInServer;

StandInServer::Handler StandInFor(UpstreamKind kind, const StandInScript& script) {
    switch (kind) {
        case UpstreamKind::OpusMt:
            return bridge_test::OpusMtStandIn(script);
        case UpstreamKind::OpenAiChat:
            return bridge_test::ChatCompletionsStandIn(script);
        default:
            return bridge_test::LibreTranslateStandIn(script);
    }
}

bridge::UpstreamSettings Settings(UpstreamKind kind, const std::string& url,
                                  const std::string& apiKey = {}) {
    bridge::UpstreamSettings settings;
    settings.name = "up";
    settings.kind = kind;
    settings.url = url;
    settings.apiKey = apiKey;
    settings.model = "test-model";
    settings.timeout = 20s;
    return settings;
}

struct KindCase {
    const char* name;
    UpstreamKind kind;
    void (*script)(StandInScript&);  // how the stand-in departs from a plain answer
    std::string apiKey;              // the bridge's setting
    std::string from, to, text;
    std::string translation;  // expected, when status is 0
    int status = 0;
    std::string reason = {};  // the whole reason line after "<kind> at 127.0.0.1:PORT"
};

const std::string kLibre = "LibreTranslate";
const std::string kOpus = "OPUS-MT";
const std::string kChat = "Chat completions";

const KindCase kCases[] = {
    {"libre", UpstreamKind::LibreTranslate, nullptr, "", "de", "en", "Hallo Welt", "en:Hallo Welt"},
    {"libre with key", UpstreamKind::LibreTranslate, [](StandInScript& s) { s.apiKey = "k1"; },
     "k1", "de", "en", "Hallo", "en:Hallo"},
    {"libre, key missing", UpstreamKind::LibreTranslate, [](StandInScript& s) { s.apiKey = "k1"; },
     "", "de", "en", "Hallo", "", 502, " answered 403: Invalid API key"},
    {"libre, over its char limit", UpstreamKind::LibreTranslate,
     [](StandInScript& s) { s.charLimit = 3; }, "", "de", "en", "Hallo", "", 502,
     " answered 400: Invalid request: request (5) exceeds text limit (3)"},
    {"libre, unknown language",
     UpstreamKind::LibreTranslate,
     {},
     "",
     "xx",
     "en",
     "Hallo",
     "",
     502,
     " answered 400: xx is not supported"},
    {"libre, rate limited", UpstreamKind::LibreTranslate,
     [](StandInScript& s) { s.failWith = 429; }, "", "de", "en", "Hallo", "", 503,
     " answered 429: Too many request limits violations"},
    {"libre, translation failed", UpstreamKind::LibreTranslate,
     [](StandInScript& s) { s.failWith = 500; }, "", "de", "en", "Hallo", "", 502,
     " answered 500: Cannot translate text: model failed"},
    {"libre, not JSON", UpstreamKind::LibreTranslate, [](StandInScript& s) { s.notJson = true; },
     "", "de", "en", "Hallo", "", 502, " sent an answer without translatedText"},
    {"opus", UpstreamKind::OpusMt, nullptr, "", "it", "en", "Ciao \u00E8", "en:Ciao \u00E8"},
    {"opus, pair not served",
     UpstreamKind::OpusMt,
     {},
     "",
     "it",
     "xx",
     "Ciao",
     "",
     502,
     ": Language pair it-xx is not supported"},
    {"opus, server error page", UpstreamKind::OpusMt, [](StandInScript& s) { s.failWith = 500; },
     "", "it", "en", "Ciao", "", 502, " answered 500"},
    {"chat", UpstreamKind::OpenAiChat, [](StandInScript& s) { s.apiKey = "sk"; }, "sk", "fa", "en",
     " \u0633\u0644\u0627\u0645\n", " Persian>English> \u0633\u0644\u0627\u0645\n"},
    {"chat, wrong key", UpstreamKind::OpenAiChat, [](StandInScript& s) { s.apiKey = "sk"; },
     "other", "de", "en", "Hallo", "", 502, " answered 401: Incorrect API key provided"},
    {"chat, overloaded", UpstreamKind::OpenAiChat, [](StandInScript& s) { s.failWith = 503; }, "",
     "de", "en", "Hallo", "", 503, " answered 503: The server is overloaded"},
    {"chat, cut off", UpstreamKind::OpenAiChat, [](StandInScript& s) { s.cutOff = true; }, "", "de",
     "en", "Hallo", "", 502, ": the translation was cut off at the token limit"},
    {"time-out", UpstreamKind::LibreTranslate, [](StandInScript& s) { s.hang = true; }, "", "de",
     "en", "Hallo", "", 504, " did not answer within 300 ms"},
};

TEST(UpstreamKinds, AnswersAndErrorsOfEachKind) {
    const auto client = std::shared_ptr<bridge::HttpClient>(bridge::MakeHttpClient());
    for (const KindCase& c : kCases) {
        SCOPED_TRACE(c.name);
        StandInScript script;
        if (c.script) {
            c.script(script);
        }
        StandInServer server(StandInFor(c.kind, script));
        bridge::UpstreamSettings settings = Settings(c.kind, server.Url(), c.apiKey);
        if (script.hang) {
            settings.timeout = 300ms;
        }
        const auto upstream = bridge::MakeUpstream(settings, client);
        try {
            EXPECT_EQ(upstream->Translate(c.text, c.from, c.to), c.translation);
            EXPECT_EQ(c.status, 0) << "translated";
        } catch (const bridge::UpstreamError& error) {
            EXPECT_EQ(error.Status(), c.status);
            EXPECT_EQ(std::string(error.what()), upstream->Describe() + c.reason);
            EXPECT_EQ(error.ConnectionLevel(), c.status == 504);
        }
        server.Stop();
    }
}

TEST(UpstreamKinds, RefusedConnectionIsConnectionLevel) {
    std::string url;
    {
        StandInServer closed(bridge_test::LibreTranslateStandIn({}));
        url = closed.Url();
    }
    const auto upstream =
        bridge::MakeUpstream(Settings(UpstreamKind::OpusMt, url), bridge::MakeHttpClient());
    try {
        upstream->Translate("Ciao", "it", "en");
        ADD_FAILURE() << "translated";
    } catch (const bridge::UpstreamError& error) {
        EXPECT_EQ(error.Status(), 502);
        EXPECT_TRUE(error.ConnectionLevel());
        EXPECT_EQ(std::string(error.what()), upstream->Describe() + " refused the connection");
    }
}

// The whole upstream side as the bridge builds it: the first upstream is
// down, the second has a character limit the bridge keeps under.
TEST(UpstreamKinds, PoolFailsOverAndSplitsUnderTheLimit) {
    StandInScript limit;
    limit.charLimit = 13;
    StandInServer libre(bridge_test::LibreTranslateStandIn(limit));
    std::string downUrl;
    {
        StandInServer down(bridge_test::OpusMtStandIn({}));
        downUrl = down.Url();
    }
    bridge::UpstreamSettings opus = Settings(UpstreamKind::OpusMt, downUrl);
    opus.name = "opus";
    bridge::UpstreamSettings limited = Settings(UpstreamKind::LibreTranslate, libre.Url());
    limited.name = "libre";
    limited.maxChars = 13;
    const auto translator = bridge::MakeTranslator(
        {opus, limited}, {{"de-en", {{"opus", "de", "en"}, {"libre", "de", "en"}}}});

    const bridge::Translation served =
        translator->Translate("de-en", "Guten Morgen. Wie geht es dir?\n\nGut.");
    EXPECT_EQ(served.text, "en:Guten Morgen. en:Wie geht es en:dir?\n\nen:Gut.");
    EXPECT_EQ(served.upstream, "LibreTranslate at " + bridge::UrlAuthority(libre.Url()));
    const std::vector<bridge::UpstreamState> states = translator->Snapshot();
    EXPECT_TRUE(states[0].coolingDown);
    EXPECT_EQ(states[1].calls, 4u);
}

}  // namespace
