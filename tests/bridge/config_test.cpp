// The configuration file: a complete one read whole, every fault stopping the
// bridge with exit code 2 and a message naming the file and the field.
#include "bridge/config.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "bridge/run_bridge.h"
#include "tests/bridge/bridge_test_support.h"

namespace {

constexpr const char* kComplete = R"({
  "listen": {"port": 11001, "addresses": ["127.0.0.1", "::1"]},
  "limits": {"max_body_bytes": 2048, "request_timeout_ms": 5000, "max_connections": 8},
  "cache": {"max_bytes": 0},
  "upstreams": {
    "libre": {"kind": "libretranslate", "url": "http://127.0.0.1:5000", "api_key": "k",
              "timeout_ms": 15000, "cooldown_ms": 1000, "max_chars": 2000},
    "apy": {"kind": "apertium", "url": "http://127.0.0.1:2737"},
    "opus": {"kind": "opus-mt", "url": "https://mt.example.org/"},
    "llm": {"kind": "openai-chat", "url": "http://127.0.0.1:8080", "model": "m"}
  },
  "directions": {
    "de-en": [{"upstream": "libre", "from": "de", "to": "en"},
              {"upstream": "apy", "from": "deu", "to": "eng"}],
    "it-en": [{"upstream": "opus"}],
    "en-fa": [{"upstream": "llm"}]
  }
})";

// The smallest valid file, with a placeholder the cases below replace.
std::string Minimal(const std::string& extra = "") {
    return R"({)" + extra +
           R"("upstreams": {"u": {"kind": "apertium", "url": "http://127.0.0.1:2737"}},
              "directions": {"de-en": [{"upstream": "u"}]}})";
}

TEST(BridgeConfig, CompleteFileIsReadWhole) {
    const bridge::BridgeConfig config = bridge::ParseConfig(kComplete, "bridge.json");
    EXPECT_EQ(config.port, 11001);
    EXPECT_EQ(config.addresses, (std::vector<std::string>{"127.0.0.1", "::1"}));
    EXPECT_EQ(config.maxBodyBytes, 2048u);
    EXPECT_EQ(config.requestTimeout.count(), 5000);
    EXPECT_EQ(config.maxConnections, 8u);
    EXPECT_EQ(config.cacheMaxBytes, 0u);
    ASSERT_EQ(config.upstreams.size(), 4u);
    EXPECT_EQ(config.upstreams[0].name, "libre");  // the file's order
    EXPECT_EQ(config.upstreams[0].kind, bridge::UpstreamKind::LibreTranslate);
    EXPECT_EQ(config.upstreams[0].apiKey, "k");
    EXPECT_EQ(config.upstreams[0].timeout.count(), 15000);
    EXPECT_EQ(config.upstreams[0].cooldown.count(), 1000);
    EXPECT_EQ(config.upstreams[0].maxChars, 2000u);
    EXPECT_EQ(config.upstreams[3].kind, bridge::UpstreamKind::OpenAiChat);
    EXPECT_EQ(config.upstreams[3].model, "m");
    ASSERT_EQ(config.routes.size(), 3u);
    EXPECT_EQ(config.routes.at("de-en")[1].from, "deu");
    EXPECT_EQ(config.routes.at("de-en")[1].to, "eng");
    // Codes default to the direction's own.
    EXPECT_EQ(config.routes.at("en-fa")[0].from, "en");
    EXPECT_EQ(config.routes.at("en-fa")[0].to, "fa");

    const bridge::BridgeConfig defaults = bridge::ParseConfig(Minimal(), "b.json");
    EXPECT_EQ(defaults.port, 11000);
    EXPECT_EQ(defaults.addresses, (std::vector<std::string>{"127.0.0.1", "::1"}));
    EXPECT_EQ(defaults.maxBodyBytes, 1u << 20);
    EXPECT_EQ(defaults.cacheMaxBytes, 32u << 20);
    EXPECT_LT(defaults.upstreams[0].timeout.count(), 30000);  // below the engine's own limit
}

TEST(BridgeConfig, EveryFaultNamesFileFieldAndWhatIsWrong) {
    const struct {
        std::string text;
        std::string message;  // after "bad.json: "
    } cases[] = {
        {"{", "not valid JSON: parse error at line 1, column 2"},
        {"[]", "/: must be an object"},
        {Minimal(R"("lisen": {}, )"), "/lisen: unknown key"},
        {Minimal(R"("listen": {"port": 70000}, )"),
         "/listen/port: must be an integer from 0 to 65535"},
        {Minimal(R"("listen": {"port": "11000"}, )"), "/listen/port: must be an integer"},
        {Minimal(R"("listen": {"addresses": ["0.0.0.0"]}, )"),
         "/listen/addresses/0: \"0.0.0.0\" is not a numeric loopback address"},
        {Minimal(R"("listen": {"addresses": ["127.0.0.1", "localhost"]}, )"),
         "/listen/addresses/1: \"localhost\" is not a numeric loopback address"},
        {Minimal(R"("listen": {"addresses": []}, )"), "/listen/addresses: must be a list"},
        {Minimal(R"("limits": {"max_body_bytes": 0}, )"),
         "/limits/max_body_bytes: must be an integer from 1 to 67108864"},
        {Minimal(R"("limits": {"max_connections": -1}, )"),
         "/limits/max_connections: must be an integer from 1"},
        {Minimal(R"("limits": {"request_timeout_ms": 1.5}, )"),
         "/limits/request_timeout_ms: must be an integer"},
        {Minimal(R"("cache": {"size": 1}, )"), "/cache/size: unknown key (known here: max_bytes)"},
        {Minimal(R"("log": {"max_bytes": 100}, )"),
         "/log/max_bytes: must be an integer from 4096 to 1073741824"},
        {R"({"directions": {"de-en": [{"upstream": "u"}]}})", "/upstreams: missing"},
        {R"({"upstreams": {"u": {"url": "http://h"}}, "directions": {}})",
         "/upstreams/u/kind: missing"},
        {R"({"upstreams": {"u": {"kind": "moses", "url": "http://h"}}})",
         "/upstreams/u/kind: \"moses\" is not"},
        {R"({"upstreams": {"u": {"kind": "apertium"}}})", "/upstreams/u/url: missing"},
        {R"({"upstreams": {"u": {"kind": "apertium", "url": "ftp://h"}}})",
         "/upstreams/u/url: \"ftp://h\" is not an http:// or https:// URL"},
        {R"({"upstreams": {"u": {"kind": "apertium", "url": "http://h", "api_key": "k"}}})",
         "/upstreams/u/api_key: only libretranslate and openai-chat"},
        {R"({"upstreams": {"u": {"kind": "opus-mt", "url": "http://h", "model": "m"}}})",
         "/upstreams/u/model: only openai-chat"},
        {R"({"upstreams": {"u": {"kind": "opus-mt", "url": "http://h", "timeout_ms": 30000}}})",
         "/upstreams/u/timeout_ms: must be an integer from 1 to 29999"},
        {R"({"upstreams": {"u": {"kind": "opus-mt", "url": "http://h", "timeout": 1}}})",
         "/upstreams/u/timeout: unknown key"},
        {R"({"upstreams": {"u": {"kind": "opus-mt", "url": "http://h"}}})",
         "/directions: must name at least one of ar-en, en-ar, fa-en, en-fa, it-en, de-en"},
        {Minimal().replace(Minimal().find("de-en"), 5, "en-de"),
         "/directions/en-de: not a direction the engine asks for"},
        {Minimal().replace(Minimal().find("[{\"upstream\": \"u\"}]"), 19, "[]"),
         "/directions/de-en: must be a list of one or more"},
        {Minimal().replace(Minimal().find("\"upstream\": \"u\""), 15, "\"upstream\": \"v\""),
         "/directions/de-en/0/upstream: \"v\" is not a key of /upstreams"},
        {Minimal().replace(Minimal().find("\"upstream\": \"u\""), 15,
                           "\"upstream\": \"u\", \"from\": \"\""),
         "/directions/de-en/0/from: must not be empty"},
        {Minimal().replace(Minimal().find("\"upstream\": \"u\""), 15,
                           "\"upstream\": \"u\", \"src\": \"de\""),
         "/directions/de-en/0/src: unknown key"},
    };
    for (const auto& c : cases) {
        try {
            bridge::ParseConfig(c.text, "bad.json");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const bridge::ConfigError& error) {
            const std::string expected = "bad.json: " + c.message;
            EXPECT_EQ(std::string(error.what()).substr(0, expected.size()), expected) << c.text;
        }
    }
}

// Through the program's own entry: a bad file is exit code 2 and one message
// on stderr, checked or served alike; nothing is served.
TEST(BridgeConfig, BadFileStopsTheProgramWithExitCode2) {
    const std::string path = testing::TempDir() + "qn-bridge-config-test.json";
    auto write = [&](const std::string& text) { std::ofstream(path, std::ios::binary) << text; };
    std::atomic<bool> stop{true};
    int factoryCalls = 0;
    const bridge::TranslatorFactory factory = [&](const auto&, const auto&) {
        ++factoryCalls;
        return std::unique_ptr<bridge::Translator>(new serve_test::FakeTranslator);
    };
    auto run = [&](std::vector<std::string> args, std::string& out, std::string& err) {
        std::ostringstream outStream;
        std::ostringstream errStream;
        const int code = bridge::RunBridge(args, outStream, errStream, factory, stop);
        out = outStream.str();
        err = errStream.str();
        return code;
    };
    std::string out;
    std::string err;

    write(Minimal(R"("limits": {"max_body_bytes": "big"}, )"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--check-config", "--config", path},
          std::vector<std::string>{"--config", path}}) {
        EXPECT_EQ(run(args, out, err), 2);
        EXPECT_EQ(err, "qn-bridge: " + path +
                           ": /limits/max_body_bytes: must be an integer from 1 to 67108864\n");
    }
    EXPECT_EQ(run({"--config", path + ".missing"}, out, err), 2);
    EXPECT_EQ(
        err, "qn-bridge: " + path + ".missing: cannot be read (give another with --config FILE)\n");
    EXPECT_EQ(run({"--config"}, out, err), 2);
    EXPECT_EQ(run({"--port", "65536"}, out, err), 2);
    EXPECT_EQ(factoryCalls, 0);

    write(kComplete);
    EXPECT_EQ(run({"--check-config", "--config", path}, out, err), 0);
    EXPECT_NE(out.find("upstream libre: libretranslate http://127.0.0.1:5000"), std::string::npos)
        << out;
    EXPECT_NE(out.find("direction de-en: libre (de->en) apy (deu->eng)"), std::string::npos) << out;
    EXPECT_EQ(out.find("\"k\""), std::string::npos);  // keys are never shown
    std::remove(path.c_str());
}

}  // namespace
