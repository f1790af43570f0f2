// StandInServer: a small HTTP/1.1 server on 127.0.0.1 (a free port) that
// answers every request through a test's handler, in place of an upstream MT
// server. Keeps connections open between requests, as those servers do.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/sockets.h"

namespace bridge_test {

struct StandInRequest {
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name (ASCII case folded), or "".
    std::string Header(std::string_view name) const;
};

struct StandInAnswer {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
    bool hang = false;  // read the request, never answer (until the server stops)
};

class StandInServer {
  public:
    using Handler = std::function<StandInAnswer(const StandInRequest&)>;

    // Starts serving at once; throws std::runtime_error when it cannot listen.
    explicit StandInServer(Handler handler);
    ~StandInServer();
    StandInServer(const StandInServer&) = delete;
    StandInServer& operator=(const StandInServer&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::vector<StandInRequest> Requests() const;

    // Closes the port and every connection, answered or not.
    void Stop();

  private:
    void AcceptLoop();
    void Serve(net::Socket connection);

    Handler handler_;
    net::Socket listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<StandInRequest> requests_;
    std::vector<std::thread> connections_;
    std::thread acceptor_;
};

}  // namespace bridge_test
