// A loopback relay placed in front of a back end that notes when each
// exchange is in progress, so a test can prove that the engine never has two
// requests open at once. Every exchange is served on a thread of its own, so
// overlapping requests would really overlap here.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sockets.h"

namespace load {

// Marks of one exchange on a counter shared by all of them. `begin` is taken
// once the whole request has arrived and `end` before the last byte of the
// answer goes out, so both lie strictly inside the client's own exchange:
// non-overlapping client exchanges can never give overlapping marks.
struct ExchangeMarks {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    bool answered = false;  // the whole answer reached the client's socket
};

class RecordingRelay {
  public:
    // Listens on 127.0.0.1:listenPort (0 = a free port) and forwards every
    // request to 127.0.0.1:targetPort. Throws std::runtime_error when the
    // port cannot be had.
    RecordingRelay(std::uint16_t listenPort, std::uint16_t targetPort);
    ~RecordingRelay();
    RecordingRelay(const RecordingRelay&) = delete;
    RecordingRelay& operator=(const RecordingRelay&) = delete;

    std::uint16_t Port() const { return port_; }
    // Ends the accept loop and waits for every exchange.
    void Stop();

    std::vector<ExchangeMarks> Exchanges() const;
    // Pairs of exchanges that were in progress at the same time.
    std::size_t OverlappingPairs() const;

  private:
    void AcceptLoop();
    void Serve(net::Socket client);

    net::Socket listener_;
    std::uint16_t port_ = 0;
    std::uint16_t target_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint64_t> clock_{0};
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    std::vector<std::thread> exchanges_;
    std::vector<ExchangeMarks> marks_;
};

}  // namespace load
