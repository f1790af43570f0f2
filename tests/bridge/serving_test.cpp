// The serving side as the engine and other clients meet it: the engine's six
// request paths, every refusal with its status and reason, slow clients, the
// connection bound, the cache, /status and the log.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "backend/pipeline_table.h"
#include "tests/bridge/bridge_test_support.h"

namespace {

using namespace serve_test;

TEST(BridgeServing, EnginePathsByteForByteReachTheirDirections) {
    ServedBridge bridge;
    const struct {
        std::u16string from, to;
        std::string direction;
    } cases[] = {{u"ar", u"en", "ar-en"}, {u"en", u"ar", "en-ar"}, {u"fa", u"en", "fa-en"},
                 {u"en", u"fa", "en-fa"}, {u"it", u"en", "it-en"}, {u"de", u"en", "de-en"}};
    for (const auto& c : cases) {
        // The path exactly as the engine's table gives it, query and all.
        const std::string target = "/" + PipelinePath(c.from, c.to);
        const std::string answer = Exchange(bridge.Port(), EnginePost(target, "caf\xC3\xA9"));
        EXPECT_EQ(StatusLine(answer), "HTTP/1.0 200 OK") << target;
        EXPECT_EQ(Body(answer), "[" + c.direction + "] caf\xC3\xA9") << target;
    }
    ASSERT_EQ(bridge.translator.Calls().size(), 6u);
    EXPECT_EQ(bridge.translator.Calls()[5].first, "de-en");
}

TEST(BridgeServing, FailuresAnswerWithTheirStatusAndAOneLineReason) {
    BridgeOptions options;
    options.routes.erase("en-fa");
    ServedBridge bridge(options);
    bridge.translator.SetAnswer([](std::string_view direction, std::string_view) -> Translation {
        if (direction == "it-en") {
            throw UpstreamError(504, "LibreTranslate at 127.0.0.1:5000 did not answer in 20000 ms",
                                true);
        }
        // Two lines, a non-ASCII word and far more than fits a status line.
        throw UpstreamError(
            502, "APy at 127.0.0.1:2737 said:\r\nno pair f\xC3\xBCr " + std::string(200, 'x'),
            false);
    });
    const struct {
        std::string request;
        std::string statusLine;  // whole, or up to the end of the reason's first words
    } cases[] = {
        {EnginePost("/fcgiDispatch.xx?cmd0=a", "hi"),
         "HTTP/1.0 404 no pipeline at /fcgiDispatch.xx;"},
        {EnginePost("/", "hi"), "HTTP/1.0 404 no pipeline at /;"},
        {EnginePost("/fcgiDispatch.de/more", "hi"), "HTTP/1.0 404 no pipeline at"},
        {EnginePost("/fcgiDispatch.ef", "hi"), "HTTP/1.0 404 no upstream is configured for en-fa"},
        {"GET /fcgiDispatch.de HTTP/1.1\r\nHost: x\r\n\r\n",
         "HTTP/1.1 405 only POST is served at /fcgiDispatch.de"},
        {EnginePost("/status", ""), "HTTP/1.0 405 only GET is served at /status"},
        {EnginePost("/fcgiDispatch.de", "bad \x80 byte"),
         "HTTP/1.0 400 request body is not valid UTF-8"},
        {EnginePost("/fcgiDispatch.de", "\xED\xA0\x80 surrogate"),
         "HTTP/1.0 400 request body is not valid UTF-8"},
        {EnginePost("/fcgiDispatch.de", std::string(65, 'a')),
         "HTTP/1.0 413 request body of 65 bytes is over the limit of 64 bytes"},
        {"POST /fcgiDispatch.de HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nhi\r\n0\r\n\r\n",
         "HTTP/1.1 411 chunked request bodies are not accepted; send Content-Length"},
        {"POST /fcgiDispatch.de HTTP/1.0\r\n\r\n", "HTTP/1.0 411 a POST needs"},
        {"POST /fcgiDispatch.de HTTP/1.0\r\nContent-Length: 99999999999999999999\r\n\r\n",
         "HTTP/1.0 400 malformed Content-Length"},
        {"POST /fcgiDispatch.de HTTP/2.0\r\n\r\n", "HTTP/1.0 400 only HTTP/1.0 and HTTP/1.1"},
        {"nonsense\r\n\r\n", "HTTP/1.0 400 malformed request line"},
        {EnginePost("/fcgiDispatch.ie", "ciao"),
         "HTTP/1.0 504 LibreTranslate at 127.0.0.1:5000 did not answer in 20000 ms"},
        {EnginePost("/fcgiDispatch.ae", "x"),
         "HTTP/1.0 502 APy at 127.0.0.1:2737 said:  no pair f?r " + std::string(79, 'x')},
    };
    for (const auto& c : cases) {
        const std::string line = StatusLine(Exchange(bridge.Port(), c.request));
        EXPECT_EQ(line.substr(0, c.statusLine.size()), c.statusLine) << c.request.substr(0, 60);
        // "HTTP/1.x NNN " and a reason of at most 120 printable ASCII characters.
        EXPECT_LE(line.size(), 13u + 120u) << line;
        EXPECT_EQ(line.find_first_not_of(
                      " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
                      "abcdefghijklmnopqrstuvwxyz{|}~"),
                  std::string::npos)
            << line;
    }
    // The translator was only asked for the two directions that reached it.
    EXPECT_EQ(bridge.translator.Calls().size(), 2u);
}

TEST(BridgeServing, ASlowClientIsCutOffWith408) {
    BridgeOptions options;
    options.limits.requestTimeout = std::chrono::milliseconds(300);
    ServedBridge bridge(options);
    const std::string parts[] = {
        "POST /fcgiDispatch.de HTTP/1.0\r\nContent-Le",                      // head unfinished
        "POST /fcgiDispatch.de HTTP/1.0\r\nContent-Length: 10\r\n\r\nhalf",  // body unfinished
        "",                                                                  // nothing at all
    };
    for (const std::string& part : parts) {
        net::Socket socket = ConnectTo(bridge.Port());
        SendBytes(socket, part);  // and then nothing more, the connection held open
        EXPECT_EQ(StatusLine(ReadToEnd(socket)),
                  "HTTP/1.0 408 request not complete within 300 ms; connection closed")
            << part;
    }
    EXPECT_TRUE(bridge.translator.Calls().empty());
}

TEST(BridgeServing, ConnectionsBeyondTheBoundGet503) {
    BridgeOptions options;
    options.limits.maxConnections = 1;
    ServedBridge bridge(options);
    net::Socket holder = ConnectTo(bridge.Port());
    SendBytes(holder, "POST /fcgiDispatch.de HTTP/1.0\r\n");  // keeps the one worker busy
    EXPECT_EQ(StatusLine(Exchange(bridge.Port(), EnginePost("/fcgiDispatch.de", "x"))),
              "HTTP/1.0 503 the bridge serves 1 connections at once; try again");
    holder.reset();
    // Once the worker is free again, requests are served (the holder's end
    // reaches it in its own time, so the next request may still be refused).
    std::string line;
    for (int attempt = 0; attempt < 200 && line != "HTTP/1.0 200 OK"; ++attempt) {
        line = StatusLine(Exchange(bridge.Port(), EnginePost("/fcgiDispatch.de", "x")));
    }
    EXPECT_EQ(line, "HTTP/1.0 200 OK");
}

TEST(BridgeServing, Ipv6LoopbackIsServedBesideIpv4) {
    BridgeOptions options;
    options.addresses = {"127.0.0.1", "::1"};
    ServedBridge bridge(options);
    if (!bridge.server.Skipped().empty()) {
        GTEST_SKIP() << "this machine has no IPv6 loopback";
    }
    for (const std::string address : {"127.0.0.1", "::1"}) {
        EXPECT_EQ(Body(Exchange(bridge.Port(), EnginePost("/fcgiDispatch.de", "x"), address)),
                  "[de-en] x")
            << address;
    }
}

TEST(BridgeServing, NonLoopbackAddressesAreNeverBound) {
    for (const std::string address : {"0.0.0.0", "::", "192.0.2.1", "localhost"}) {
        BridgeOptions options;
        options.addresses = {address};
        EXPECT_THROW(ServedBridge bridge(options), std::runtime_error) << address;
    }
}

TEST(BridgeServing, RepeatedTextComesFromTheCacheAndStatusCountsIt) {
    ServedBridge bridge;
    const std::string request = EnginePost("/fcgiDispatch.de", "Hallo Welt");
    EXPECT_EQ(Body(Exchange(bridge.Port(), request)), "[de-en] Hallo Welt");
    EXPECT_EQ(Body(Exchange(bridge.Port(), request)), "[de-en] Hallo Welt");
    // Same text, other direction: not the cached one.
    EXPECT_EQ(Body(Exchange(bridge.Port(), EnginePost("/fcgiDispatch.ie", "Hallo Welt"))),
              "[it-en] Hallo Welt");
    Exchange(bridge.Port(), EnginePost("/nowhere", "x"));
    EXPECT_EQ(bridge.translator.Calls().size(), 2u);

    const std::string answer =
        Exchange(bridge.Port(), "GET /status HTTP/1.1\r\nHost: localhost\r\n\r\n");
    EXPECT_EQ(StatusLine(answer), "HTTP/1.1 200 OK");
    EXPECT_NE(answer.find("Content-Type: application/json"), std::string::npos);
    const nlohmann::json status = nlohmann::json::parse(Body(answer));
    EXPECT_EQ(status["version"], "test");
    EXPECT_EQ(status["directions"].size(), 6u);
    EXPECT_EQ(status["directions"]["de-en"][0]["upstream"], "fake");
    EXPECT_EQ(status["upstreams"][0]["description"], "Fake at test");
    EXPECT_EQ(status["cache"]["entries"], 2);
    EXPECT_EQ(status["cache"]["hits"], 1);
    EXPECT_EQ(status["cache"]["misses"], 2);
    EXPECT_EQ(status["requests"]["by_status"]["200"], 3);
    EXPECT_EQ(status["requests"]["by_status"]["404"], 1);
    EXPECT_EQ(status["requests"]["total"], 4);
}

TEST(BridgeServing, LogLineSaysWhatHappenedAndShowsTextOnlyWhenAsked) {
    for (const bool withText : {false, true}) {
        BridgeOptions options;
        options.logText = withText;
        ServedBridge bridge(options);
        const std::string request = EnginePost("/fcgiDispatch.de",
                                               "Stra\xC3\x9F"
                                               "e");
        Exchange(bridge.Port(), request);
        Exchange(bridge.Port(), request);
        const std::string log = bridge.logText.Text();
        EXPECT_NE(log.find(" de-en status=200 in=6 out=14 ms="), std::string::npos) << log;
        EXPECT_NE(log.find(" cache=miss upstream=\"Fake at test\""), std::string::npos) << log;
        EXPECT_NE(log.find(" cache=hit upstream=\"Fake at test\""), std::string::npos) << log;
        EXPECT_EQ(log.find("Stra\xC3\x9F"
                           "e") != std::string::npos,
                  withText)
            << log;
        EXPECT_EQ(log[4], '-');
        EXPECT_EQ(log.find('Z'), 23u) << log;  // "2024-05-01T12:00:00.123Z"
    }
}

TEST(TranslationCache, LeastRecentlyUsedGoesFirstWithinTheByteBound) {
    const bridge::Translation t{"x", "u"};
    const std::size_t entry = bridge::TranslationCache::EntryBytes("de-en", "a", t);
    bridge::TranslationCache cache(2 * entry);
    cache.Store("de-en", "a", t);
    cache.Store("de-en", "b", t);
    EXPECT_TRUE(cache.Find("de-en", "a"));  // a is now the most recent
    cache.Store("de-en", "c", t);           // b goes
    EXPECT_TRUE(cache.Find("de-en", "a"));
    EXPECT_FALSE(cache.Find("de-en", "b"));
    EXPECT_TRUE(cache.Find("de-en", "c"));
    EXPECT_FALSE(cache.Find("it-en", "a"));  // the direction is part of the key
    const bridge::CacheStats stats = cache.Stats();
    EXPECT_EQ(stats.entries, 2u);
    EXPECT_EQ(stats.bytes, 2 * entry);
    EXPECT_EQ(stats.hits, 3u);
    EXPECT_EQ(stats.misses, 2u);

    // An entry larger than the whole cache, and a cache of size 0, keep nothing.
    cache.Store("de-en", std::string(3 * entry, 'z'), t);
    EXPECT_EQ(cache.Stats().entries, 2u);
    bridge::TranslationCache off(0);
    off.Store("de-en", "a", t);
    EXPECT_FALSE(off.Find("de-en", "a"));
}

}  // namespace
