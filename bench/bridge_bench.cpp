// What the bridge adds to a translation: the bridge in front of a fast local
// upstream against that upstream called directly, a cache hit against an
// upstream call, and the bridge against a real Apertium APy called directly,
// a request of each in turn (QN_BENCH_APY_URL, set by scripts/bench where APy
// is installed). Every request to the bridge or straight to an upstream opens
// its own connection, as the engine's requests do; the bridge keeps its
// connections to an upstream that allows it, as the servers it fronts do, and
// a second pair of figures shows an upstream that closes every connection.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge_service.h"
#include "bridge/http_client.h"
#include "bridge/http_message.h"
#include "bridge/http_server.h"
#include "bridge/translation_cache.h"
#include "bridge/upstream_pool.h"
#include "platform/sockets.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kSentence = "Der Hund isst einen Apfel im Haus.";
constexpr const char* kApySentence = "El perro come una manzana en la casa.";

constexpr int kPollMs = 50;
constexpr int kIoLimitMs = 30000;  // a hang guard only

// A LibreTranslate answer at once: the translation is the text itself.
std::string InstantAnswer(const std::string& query) {
    const auto json = nlohmann::json::parse(query, nullptr, false);
    return nlohmann::json{
        {"translatedText", json.is_object() ? json.value("q", std::string()) : std::string()}}
        .dump();
}

// The instant LibreTranslate behind the bridge's own listening side, which
// closes every connection after its answer.
class ClosingLibreTranslate final : public bridge::RequestHandler {
  public:
    bridge::Reply Handle(const bridge::ClientRequest& request) override {
        bridge::Reply reply;
        reply.contentType = "application/json";
        reply.body = InstantAnswer(request.body);
        return reply;
    }
    void Refused(const bridge::Reply&, std::chrono::milliseconds) override {}
};

// The instant LibreTranslate as HTTP/1.1 servers serve: a connection stays
// open for the client's next request unless the client closes it. A few
// threads wait in accept and each serves the connection it accepted.
class KeepAliveLibreTranslate {
  public:
    KeepAliveLibreTranslate() {
        net::StartSockets();
        listener_ = net::CreateTcpSocket();
        if (!listener_ || !net::BindLoopback(listener_, 0) || !net::Listen(listener_)) {
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
        port_ = net::LocalPort(listener_);
        for (int i = 0; i < kThreads; ++i) {
            threads_.emplace_back([this] {
                while (!stopping_) {
                    net::Socket socket = net::Accept(listener_, -1);
                    if (socket && !stopping_) {
                        Serve(socket);
                    }
                }
            });
        }
    }
    ~KeepAliveLibreTranslate() {
        stopping_ = true;
        for (int i = 0; i < kThreads; ++i) {  // one connection for each thread in accept
            const net::Socket wake = net::CreateTcpSocket();
            net::Connect(wake, 0x7F000001, port_, kIoLimitMs);
        }
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    KeepAliveLibreTranslate(const KeepAliveLibreTranslate&) = delete;
    KeepAliveLibreTranslate& operator=(const KeepAliveLibreTranslate&) = delete;

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

  private:
    static constexpr int kThreads = 4;

    void Serve(net::Socket& socket) const {
        std::string received;
        char buffer[16384];
        auto receiveMore = [&] {
            for (;;) {
                const net::IoResult got = net::Receive(socket, buffer, sizeof buffer, kPollMs);
                if (got.status == net::IoStatus::Ok) {
                    received.append(buffer, got.bytes);
                    return true;
                }
                if (got.status != net::IoStatus::TimedOut || stopping_) {
                    return false;
                }
            }
        };
        for (;;) {
            std::size_t headEnd;
            while ((headEnd = received.find("\r\n\r\n")) == std::string::npos) {
                if (!receiveMore()) {
                    return;
                }
            }
            const bridge::ClientRequest request =
                bridge::ParseRequestHead(std::string_view(received).substr(0, headEnd));
            const auto length = static_cast<std::size_t>(bridge::BodyLength(request));
            received.erase(0, headEnd + 4);
            while (received.size() < length) {
                if (!receiveMore()) {
                    return;
                }
            }
            const std::string body = InstantAnswer(received.substr(0, length));
            received.erase(0, length);
            const bool close =
                request.version == "HTTP/1.0" || request.Header("Connection") == "close";
            const std::string reply =
                "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                std::to_string(body.size()) + (close ? "\r\nConnection: close" : "") + "\r\n\r\n" +
                body;
            if (net::SendAll(socket, reply.data(), reply.size(), kIoLimitMs).status !=
                    net::IoStatus::Ok ||
                close) {
                return;
            }
        }
    }

    net::Socket listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::vector<std::thread> threads_;
};

// An upstream of either kind on a free loopback port.
class InstantUpstream {
  public:
    explicit InstantUpstream(bool keepsConnections) {
        if (keepsConnections) {
            keepAlive_ = std::make_unique<KeepAliveLibreTranslate>();
        } else {
            closing_ = std::make_unique<bridge::HttpServer>(std::vector<std::string>{"127.0.0.1"},
                                                            0, bridge::ServerLimits{}, handler_);
        }
    }
    ~InstantUpstream() {
        if (closing_) {
            closing_->Stop(std::chrono::seconds(2));
        }
    }

    std::string Url() const {
        return keepAlive_ ? keepAlive_->Url()
                          : "http://127.0.0.1:" + std::to_string(closing_->Port());
    }

  private:
    ClosingLibreTranslate handler_;
    std::unique_ptr<bridge::HttpServer> closing_;
    std::unique_ptr<KeepAliveLibreTranslate> keepAlive_;
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

void UpstreamDirect(benchmark::State& state, bool keepsConnections) {
    const InstantUpstream upstream(keepsConnections);
    const std::string url = upstream.Url() + "/translate";
    for (auto _ : state) {
        Post(state, url, LibreQuery(kSentence), "application/json");
    }
    state.SetItemsProcessed(state.iterations());  // shown as time per request
}

void BridgeToUpstream(benchmark::State& state, bool keepsConnections, std::size_t cacheBytes) {
    const InstantUpstream upstream(keepsConnections);
    Bridge bridge(bridge::UpstreamKind::LibreTranslate, upstream.Url(), "de", "en", cacheBytes);
    for (auto _ : state) {
        Post(state, bridge.Url(), kSentence, "text/plain; charset=utf-8");
    }
    state.SetItemsProcessed(state.iterations());
}

// The bridge against APy called directly, a request of each in turn (which
// goes first changes each time), so that both meet APy in the same state: its
// speed drifts over seconds, more than the bridge adds.
void ApyAlternating(benchmark::State& state) {
    const char* apy = std::getenv("QN_BENCH_APY_URL");
    if (!apy) {
        state.SkipWithError("QN_BENCH_APY_URL is not set (Apertium APy not started)");
        return;
    }
    Bridge bridge(bridge::UpstreamKind::Apertium, apy, "spa", "eng", 0);
    const std::string directUrl = std::string(apy) + "/translate";
    const std::string query = ApyQuery("El%20perro%20come%20una%20manzana%20en%20la%20casa.");
    using Clock = std::chrono::steady_clock;
    Clock::duration direct{};
    Clock::duration through{};
    bool directFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            const Clock::time_point start = Clock::now();
            if ((turn == 0) == directFirst) {
                Post(state, directUrl, query, "application/x-www-form-urlencoded");
                direct += Clock::now() - start;
            } else {
                Post(state, bridge.Url(), kApySentence, "text/plain; charset=utf-8");
                through += Clock::now() - start;
            }
        }
        directFirst = !directFirst;
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["bridge_vs_direct"] = static_cast<double>(through.count()) / direct.count();
    state.counters["direct_ms"] =
        std::chrono::duration<double, std::milli>(direct).count() / iterations;
    state.counters["bridge_ms"] =
        std::chrono::duration<double, std::milli>(through).count() / iterations;
}

BENCHMARK_CAPTURE(UpstreamDirect, keep_alive, true)
    ->Name("bridge/direct/instant_upstream")
    ->UseRealTime();
BENCHMARK_CAPTURE(BridgeToUpstream, no_cache, true, 0)
    ->Name("bridge/bridge/instant_upstream")
    ->UseRealTime();
BENCHMARK_CAPTURE(BridgeToUpstream, cache_hit, true, 1u << 20)
    ->Name("bridge/bridge/cache_hit")
    ->UseRealTime();
BENCHMARK_CAPTURE(UpstreamDirect, closing, false)
    ->Name("bridge/direct/closing_upstream")
    ->UseRealTime();
BENCHMARK_CAPTURE(BridgeToUpstream, closing, false, 0)
    ->Name("bridge/bridge/closing_upstream")
    ->UseRealTime();
BENCHMARK(ApyAlternating)->Name("bridge/apertium/alternating")->UseRealTime();

}  // namespace
