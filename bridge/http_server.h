// HttpServer: the bridge's listening side. Accepts connections on loopback
// addresses only, reads one HTTP/1.0 or 1.1 request per connection within a
// time limit, hands it to a RequestHandler, at most a bounded number at once,
// and writes the reply. Refuses what it cannot serve with a status.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/http_message.h"
#include "platform/sockets.h"

namespace bridge {

class RequestHandler {
  public:
    virtual ~RequestHandler() = default;
    // Answers a whole request. May throw HttpError.
    virtual Reply Handle(const ClientRequest& request) = 0;
    // A request the server answered itself before it was whole (400, 408,
    // 411, 413, 503), so that it is logged and counted too.
    virtual void Refused(const Reply& reply, std::chrono::milliseconds elapsed) = 0;
};

struct ServerLimits {
    std::uint64_t maxBodyBytes = 1u << 20;
    std::chrono::milliseconds requestTimeout{10000};  // to receive a whole request
    std::size_t maxConnections = 32;                  // served at once; more get 503
};

class HttpServer {
  public:
    // Binds every address at `port` (0: a free one, the same for all) and
    // starts serving. An IPv6 address the machine lacks is skipped (see
    // Skipped()); any other failure throws std::runtime_error naming the
    // address.
    HttpServer(const std::vector<std::string>& addresses, std::uint16_t port, ServerLimits limits,
               RequestHandler& handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::uint16_t Port() const { return port_; }
    const std::vector<std::string>& Bound() const { return bound_; }
    const std::vector<std::string>& Skipped() const { return skipped_; }

    // Stops accepting, lets the requests in flight finish for up to `grace`
    // and returns whether all did. The destructor waits for the rest.
    bool Stop(std::chrono::milliseconds grace);

  private:
    struct Pending {
        net::Socket socket;
        std::chrono::steady_clock::time_point accepted;
        bool serving = false;  // counted in busy_
    };

    void AcceptAndServe(std::size_t listener);
    void WakeAcceptors();
    void Serve(Pending& connection);
    void Refuse(Pending& connection);
    // Ends the connection's count in busy_, once.
    void Release(Pending& connection);
    // Sends the reply, then waits a little for the client to close first.
    void Finish(Pending& connection, const Reply& reply, std::string_view version);

    ServerLimits limits_;
    RequestHandler& handler_;
    std::uint16_t port_ = 0;
    std::vector<std::string> bound_;
    std::vector<std::string> skipped_;
    std::vector<net::Socket> listeners_;

    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable idle_;        // a request or an accept ended
    std::vector<std::size_t> accepting_;  // per listener, threads in accept or about to be
    std::size_t busy_ = 0;                // requests being served
    std::size_t draining_ = 0;            // answered connections waiting for the client to close
    std::vector<std::thread> threads_;
};

}  // namespace bridge
