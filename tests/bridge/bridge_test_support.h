// Shared by the serving-side tests: a Translator whose answers a test picks, a
// log stream that several threads may write, a bridge served in the test
// process on a free loopback port, and a raw exchange with it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bridge/bridge_service.h"
#include "bridge/directions.h"
#include "bridge/http_server.h"
#include "bridge/request_log.h"
#include "bridge/translation_cache.h"
#include "bridge/upstream.h"
#include "platform/sockets.h"

namespace serve_test {

using bridge::Translation;
using bridge::UpstreamError;

class FakeTranslator : public bridge::Translator {
  public:
    using Answer = std::function<Translation(std::string_view direction, std::string_view text)>;

    // By default "[de-en] " + text, from "Fake at test".
    FakeTranslator()
        : answer_([](std::string_view direction, std::string_view text) {
              // Appended piece by piece: gcc 12's -O3 warns falsely on "[" + string.
              std::string translated = "[";
              translated.append(direction).append("] ").append(text);
              return Translation{std::move(translated), "Fake at test"};
          }) {}

    void SetAnswer(Answer answer) {
        std::lock_guard<std::mutex> lock(mutex_);
        answer_ = std::move(answer);
    }
    std::vector<std::pair<std::string, std::string>> Calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

    Translation Translate(std::string_view direction, std::string_view text) override {
        Answer answer;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            calls_.emplace_back(direction, text);
            answer = answer_;
        }
        return answer(direction, text);
    }
    std::vector<bridge::UpstreamState> Snapshot() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        bridge::UpstreamState state;
        state.name = "fake";
        state.description = "Fake at test";
        state.calls = calls_.size();
        return {state};
    }

  private:
    mutable std::mutex mutex_;
    Answer answer_;
    std::vector<std::pair<std::string, std::string>> calls_;
};

// An ostream whose text may be written by the server's threads and read by the test.
class LockedText : public std::streambuf {
  public:
    std::string Text() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

  protected:
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        std::lock_guard<std::mutex> lock(mutex_);
        text_.append(data, static_cast<std::size_t>(size));
        return size;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            std::lock_guard<std::mutex> lock(mutex_);
            text_ += traits_type::to_char_type(c);
        }
        return traits_type::not_eof(c);
    }

  private:
    mutable std::mutex mutex_;
    std::string text_;
};

// Every direction routed to the fake, unless a test names fewer.
inline std::map<std::string, std::vector<bridge::RouteStep>> AllRoutes() {
    std::map<std::string, std::vector<bridge::RouteStep>> routes;
    for (const bridge::Direction& direction : bridge::Directions()) {
        routes[std::string(direction.code)] = {
            {"fake", std::string(direction.from), std::string(direction.to)}};
    }
    return routes;
}

struct BridgeOptions {
    bridge::ServerLimits limits{64, std::chrono::milliseconds(10000), 4};
    std::vector<std::string> addresses{"127.0.0.1"};
    std::size_t cacheBytes = 1u << 20;
    bool logText = false;
    std::map<std::string, std::vector<bridge::RouteStep>> routes = AllRoutes();
};

// The bridge's serving side in this process, stopped when the object goes.
struct ServedBridge {
    explicit ServedBridge(BridgeOptions options = {})
        : logStream(&logText),
          cache(options.cacheBytes),
          log(logStream, options.logText),
          service(translator, cache, log, options.routes, "test"),
          server(options.addresses, 0, options.limits, service) {}

    std::uint16_t Port() const { return server.Port(); }

    FakeTranslator translator;
    LockedText logText;
    std::ostream logStream;
    bridge::TranslationCache cache;
    bridge::RequestLog log;
    bridge::BridgeService service;
    bridge::HttpServer server;
};

// Long enough for a loaded machine: it only keeps a broken test from hanging.
inline constexpr int kHangGuardMs = 30000;

inline net::Socket ConnectTo(std::uint16_t port, const std::string& address = "127.0.0.1") {
    net::StartSockets();
    net::Socket socket = net::CreateTcpSocket(*net::LoopbackFamily(address));
    EXPECT_EQ(net::ConnectAddress(socket, address, port, kHangGuardMs), net::IoStatus::Ok);
    return socket;
}

inline void SendBytes(net::Socket& socket, std::string_view bytes) {
    EXPECT_EQ(net::SendAll(socket, bytes.data(), bytes.size(), kHangGuardMs).status,
              net::IoStatus::Ok);
}

// Everything the server sends until it ends the connection.
inline std::string ReadToEnd(net::Socket& socket) {
    std::string answer;
    char buffer[4096];
    for (;;) {
        const net::IoResult got = net::Receive(socket, buffer, sizeof buffer, kHangGuardMs);
        if (got.status != net::IoStatus::Ok) {
            return answer;
        }
        answer.append(buffer, got.bytes);
    }
}

inline std::string Exchange(std::uint16_t port, std::string_view request,
                            const std::string& address = "127.0.0.1") {
    net::Socket socket = ConnectTo(port, address);
    SendBytes(socket, request);
    return ReadToEnd(socket);
}

// A request as the engine sends it: HTTP/1.0, its content type, the body.
inline std::string EnginePost(std::string_view target, std::string_view body) {
    return "POST " + std::string(target) +
           " HTTP/1.0\r\nContent-Type: text/xml; charset=utf-8\r\nHost: localhost:11000\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

inline std::string StatusLine(const std::string& answer) {
    return answer.substr(0, answer.find("\r\n"));
}

inline std::string Body(const std::string& answer) {
    const std::size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

}  // namespace serve_test
