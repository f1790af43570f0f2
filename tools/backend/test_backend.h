// A small HTTP/1.0 server on 127.0.0.1 that stands in for the translation back
// end: it serves the six pipelines with tiny word lists, records every request
// exactly as received and can misbehave in the ways a test selects.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/sockets.h"
#include "tools/backend/recorded_request.h"

namespace test_backend {

enum class Fault {
    None,             // 200 with the translation (404 with a body for unknown paths)
    ErrorStatus,      // 500 with an HTML error page as the body
    TooLarge,         // 413 with a one-line complaint, as a back end refusing a big chunk
    ProxyAuthOnce,    // 407 for the first request, then as None
    ProxyAuthAlways,  // 407 for every request
    NoAnswer,         // reads the request and never answers
    SlowTrickle,      // the translation, one byte at a time with a pause between
    ResetMidBody,     // announces the whole body, sends half of it, then resets
    HugeBody,         // streams a body larger than 64 MiB (see SetHugeBodyBytes)
    NulInBody,        // the translation, a zero byte, then more text
    InvalidUtf8,      // a body that is not valid UTF-8 (kInvalidUtf8Body)
    ShortBody,        // announces more bytes than it sends, then ends in order
    NotListening,     // holds the port without listening: connections are refused
};

// Parts of the scripted answers that tests compare against.
inline constexpr std::string_view kErrorPageBody = "<h1>Pipeline failed</h1> & stopped";
inline constexpr std::string_view kTooLargeBody = "Request too large\n";
inline constexpr std::string_view kProxyAuthBody = "Proxy authentication required";
inline constexpr std::string_view kNulTail = " hidden tail";
inline constexpr std::string_view kInvalidUtf8Body = "bad \x80 byte \xFF";
inline constexpr std::string_view kHugeBodyPattern = "lorem ";
inline constexpr std::uint64_t kDefaultHugeBodyBytes = (64u << 20) + (1u << 20);

class TestBackend {
  public:
    // Starts serving at once on 127.0.0.1:port (0 = any free port, see Port()).
    // Throws std::runtime_error with a clear message when the port is taken.
    explicit TestBackend(std::uint16_t port = 0, Fault fault = Fault::None);
    ~TestBackend();
    TestBackend(const TestBackend&) = delete;
    TestBackend& operator=(const TestBackend&) = delete;

    std::uint16_t Port() const { return port_; }

    // Applies to the requests that arrive from now on. NotListening can only
    // be chosen when the back end is created.
    void SetFault(Fault fault);
    // Answers every pipeline request with these bytes (status 200) instead of
    // a translation; nullopt goes back to translating.
    void SetCannedAnswer(std::optional<std::string> body);
    void SetHugeBodyBytes(std::uint64_t bytes);
    void SetTricklePauseMs(int pauseMs);

    std::vector<RecordedRequest> Requests() const;
    std::size_t RequestCount() const;

    // Ends every exchange (also those kept waiting) and closes the port.
    void Stop();

  private:
    struct Script {
        Fault fault = Fault::None;
        std::optional<std::string> cannedAnswer;
        std::uint64_t hugeBodyBytes = kDefaultHugeBodyBytes;
        int tricklePauseMs = 20;
    };

    void AcceptLoop();
    void Serve(net::Socket connection);
    void Respond(net::Socket& connection, const RecordedRequest& request, const Script& script,
                 bool firstProxyDemand);
    bool Pause(int ms);  // false when stopping

    net::Socket listener_;
    std::uint16_t port_ = 0;
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    std::condition_variable stopSignal_;
    bool stopping_ = false;
    Script script_;
    std::vector<RecordedRequest> requests_;
    std::vector<std::thread> exchanges_;
    int proxyDemands_ = 0;
};

}  // namespace test_backend
