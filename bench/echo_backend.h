// A lean stand-in for the back end in the large-text benchmarks: it answers
// every request with the request's own body, serves one exchange at a time on
// 127.0.0.1 and keeps nothing, so that its memory and time stay small next to
// the engine's.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "platform/sockets.h"

namespace bench {

class EchoBackend {
  public:
    // Serves at once on a free port; throws std::runtime_error when it cannot.
    EchoBackend();
    ~EchoBackend();
    EchoBackend(const EchoBackend&) = delete;
    EchoBackend& operator=(const EchoBackend&) = delete;

    std::uint16_t Port() const { return port_; }
    // Exchanges answered in full so far.
    std::size_t Answered() const { return answered_.load(); }

  private:
    void Run();
    void Serve(net::Socket& connection);

    net::Socket listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> answered_{0};
    std::thread thread_;
};

}  // namespace bench
