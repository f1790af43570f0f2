// What the bridge adds to a translation: the bridge in front of a fast local
// upstream against that upstream called directly, a cache hit against an
// upstream call, and the bridge against a real Apertium APy called directly
// (QN_BENCH_APY_URL, set by scripts/bench where APy is installed). Every
// request opens its own connection, as the engine's requests do.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "bridge/bridge_service.h"
#include "bridge/http_client.h"
#include "bridge/http_server.h"
#include "bridge/translation_cache.h"
#include "bridge/upstream_pool.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kSentence = "Der Hund isst einen Apfel im Haus.";
constexpr const char* kApySentence = "El perro come una manzana en la casa.";

// A LibreTranslate that answers at once: the translation is the text itself.
class InstantLibreTranslate final : public bridge::RequestHandler {
  public:
    bridge::Reply Handle(const bridge::ClientRequest& request) override {
        const auto query = nlohmann::json::parse(request.body, nullptr, false);
        bridge::Reply reply;
        reply.contentType = "application/json";
        reply.body = nlohmann::json{{"translatedText", query.value("q", std::string())}}.dump();
        return reply;
    }
    void Refused(const bridge::Reply&, std::chrono::milliseconds) override {}
};

// The bridge on a free loopback port, de-en routed to one upstream.
class Bridge {
  public:
    Bridge(bridge::UpstreamKind kind, const std::string& url, const std::string& from,
           const std::string& to, std::size_t cacheBytes)
        : cache_(cacheBytes), log_(sink_, false) {
        bridge::UpstreamSettings upstream;
        upstream.name = "up";
        upstream.kind = kind;
        upstream.url = url;
        const std::map<std::string, std::vector<bridge::RouteStep>> routes = {
            {"de-en", {{"up", from, to}}}};
        translator_ = bridge::MakeTranslator({upstream}, routes);
        service_ =
            std::make_unique<bridge::BridgeService>(*translator_, cache_, log_, routes, "bench");
        server_ = std::make_unique<bridge::HttpServer>(std::vector<std::string>{"127.0.0.1"}, 0,
                                                       bridge::ServerLimits{}, *service_);
    }
    ~Bridge() { server_->Stop(2s); }

    std::string Url() const {
        return "http://127.0.0.1:" + std::to_string(server_->Port()) +
               "/fcgiDispatch.de?cmd0=deen-preprocess&cmd2=translate";
    }

  private:
    std::ostringstream sink_;
    bridge::TranslationCache cache_;
    bridge::RequestLog log_;
    std::unique_ptr<bridge::Translator> translator_;
    std::unique_ptr<bridge::BridgeService> service_;
    std::unique_ptr<bridge::HttpServer> server_;
};

// One exchange on a new connection; the benchmark fails on any answer but 200.
void Post(benchmark::State& state, const std::string& url, const std::string& body,
          const char* contentType) {
    const auto client = bridge::MakeHttpClient();
    bridge::HttpRequest request;
    request.url = url;
    request.body = body;
    request.headers = {{"Content-Type", contentType}};
    const bridge::HttpResponse response = client->Send(request);
    if (response.status != 200) {
        state.SkipWithError(("status " + std::to_string(response.status) + " " + response.detail +
                             " " + response.body)
                                .c_str());
    }
    benchmark::DoNotOptimize(response.body.data());
}

std::string LibreQuery(const char* text) {
    return nlohmann::json{{"q", text}, {"source", "de"}, {"target", "en"}, {"format", "text"}}
        .dump();
}

std::string ApyQuery(const char* text) {
    return "langpair=spa%7Ceng&markUnknown=yes&format=txt&q=" + std::string(text);
}

void UpstreamDirect(benchmark::State& state) {
    InstantLibreTranslate upstream;
    bridge::HttpServer server({"127.0.0.1"}, 0, {}, upstream);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/translate";
    for (auto _ : state) {
        Post(state, url, LibreQuery(kSentence), "application/json");
    }
    server.Stop(2s);
}

void BridgeToUpstream(benchmark::State& state, std::size_t cacheBytes) {
    InstantLibreTranslate upstream;
    bridge::HttpServer server({"127.0.0.1"}, 0, {}, upstream);
    {
        Bridge bridge(bridge::UpstreamKind::LibreTranslate,
                      "http://127.0.0.1:" + std::to_string(server.Port()), "de", "en", cacheBytes);
        for (auto _ : state) {
            Post(state, bridge.Url(), kSentence, "text/plain; charset=utf-8");
        }
    }
    server.Stop(2s);
}

void ApyDirect(benchmark::State& state) {
    const char* apy = std::getenv("QN_BENCH_APY_URL");
    if (!apy) {
        state.SkipWithError("QN_BENCH_APY_URL is not set (Apertium APy not started)");
        return;
    }
    for (auto _ : state) {
        Post(state, std::string(apy) + "/translate",
             ApyQuery("El%20perro%20come%20una%20manzana%20en%20la%20casa."),
             "application/x-www-form-urlencoded");
    }
}

void BridgeToApy(benchmark::State& state) {
    const char* apy = std::getenv("QN_BENCH_APY_URL");
    if (!apy) {
        state.SkipWithError("QN_BENCH_APY_URL is not set (Apertium APy not started)");
        return;
    }
    Bridge bridge(bridge::UpstreamKind::Apertium, apy, "spa", "eng", 0);
    for (auto _ : state) {
        Post(state, bridge.Url(), kApySentence, "text/plain; charset=utf-8");
    }
}

BENCHMARK(UpstreamDirect)->Name("bridge/direct/instant_upstream")->UseRealTime();
BENCHMARK_CAPTURE(BridgeToUpstream, no_cache, 0)
    ->Name("bridge/bridge/instant_upstream")
    ->UseRealTime();
BENCHMARK_CAPTURE(BridgeToUpstream, cache_hit, 1u << 20)
    ->Name("bridge/bridge/cache_hit")
    ->UseRealTime();
BENCHMARK(ApyDirect)->Name("bridge/direct/apertium")->UseRealTime();
BENCHMARK(BridgeToApy)->Name("bridge/bridge/apertium")->UseRealTime();

}  // namespace
