#include "tools/backend/test_backend.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "tools/backend/pipelines.h"

namespace test_backend {
namespace {

// Generous limits: they only keep a stuck client from holding a thread for ever.
constexpr int kIoTimeoutMs = 10000;
constexpr int kPollMs = 50;
constexpr std::size_t kMaxHeadBytes = 64 * 1024;

std::optional<std::uint64_t> ContentLength(const RecordedRequest& request) {
    std::optional<std::string> value = request.Header("Content-Length");
    if (!value || value->empty() || value->size() > 18) {
        return std::nullopt;
    }
    std::uint64_t length = 0;
    for (char c : *value) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        length = length * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return length;
}

std::string Head(std::string_view statusLine, std::uint64_t contentLength,
                 std::string_view extraHeaders = {}) {
    std::string head = "HTTP/1.0 ";
    head += statusLine;
    head += "\r\nContent-Type: text/plain; charset=utf-8\r\n";
    head += extraHeaders;
    head += "Content-Length: " + std::to_string(contentLength) + "\r\nConnection: close\r\n\r\n";
    return head;
}

bool Send(net::Socket& connection, std::string_view bytes) {
    return net::SendAll(connection, bytes.data(), bytes.size(), kIoTimeoutMs).status ==
           net::IoStatus::Ok;
}

// Reads one request: the head up to the blank line, then Content-Length bytes.
std::optional<RecordedRequest> ReadRequest(net::Socket& connection) {
    std::string received;
    std::size_t headEnd = std::string::npos;
    char buffer[8192];
    while (headEnd == std::string::npos) {
        net::IoResult got = net::Receive(connection, buffer, sizeof buffer, kIoTimeoutMs);
        if (got.status != net::IoStatus::Ok) {
            return std::nullopt;
        }
        received.append(buffer, got.bytes);
        headEnd = received.find("\r\n\r\n");
        if (headEnd == std::string::npos && received.size() > kMaxHeadBytes) {
            return std::nullopt;
        }
    }
    RecordedRequest request = ParseRequestHead(received.substr(0, headEnd + 4));
    request.body = received.substr(headEnd + 4);
    const std::uint64_t wanted = ContentLength(request).value_or(0);
    while (request.body.size() < wanted) {
        net::IoResult got = net::Receive(connection, buffer, sizeof buffer, kIoTimeoutMs);
        if (got.status != net::IoStatus::Ok) {
            break;
        }
        request.body.append(buffer, got.bytes);
    }
    return request;
}

}  // namespace

TestBackend::TestBackend(std::uint16_t port, Fault fault) {
    script_.fault = fault;
    listener_ = net::CreateTcpSocket();
    if (!listener_) {
        throw std::runtime_error("test back end: no socket could be created");
    }
    if (!net::BindLoopback(listener_, port)) {
        throw std::runtime_error("test back end: port " + std::to_string(port) +
                                 " on 127.0.0.1 is taken by another program");
    }
    port_ = net::LocalPort(listener_);
    if (fault == Fault::NotListening) {
        return;  // the bound socket keeps the port; connecting to it is refused
    }
    if (!net::Listen(listener_)) {
        throw std::runtime_error("test back end: cannot listen on port " + std::to_string(port_));
    }
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

TestBackend::~TestBackend() {
    Stop();
}

void TestBackend::Stop() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
    }
    stopSignal_.notify_all();
    if (acceptThread_.joinable()) {
        acceptThread_.join();
    }
    // No new exchange starts once the accept loop has ended.
    std::vector<std::thread> exchanges;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        exchanges.swap(exchanges_);
    }
    for (std::thread& exchange : exchanges) {
        exchange.join();
    }
    listener_.reset();
}

void TestBackend::SetFault(Fault fault) {
    if (fault == Fault::NotListening) {
        throw std::logic_error("test back end: NotListening is chosen at construction");
    }
    std::lock_guard<std::mutex> guard(mutex_);
    script_.fault = fault;
}

void TestBackend::SetCannedAnswer(std::optional<std::string> body) {
    std::lock_guard<std::mutex> guard(mutex_);
    script_.cannedAnswer = std::move(body);
}

void TestBackend::SetHugeBodyBytes(std::uint64_t bytes) {
    std::lock_guard<std::mutex> guard(mutex_);
    script_.hugeBodyBytes = bytes;
}

void TestBackend::SetTricklePauseMs(int pauseMs) {
    std::lock_guard<std::mutex> guard(mutex_);
    script_.tricklePauseMs = pauseMs;
}

std::vector<RecordedRequest> TestBackend::Requests() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

std::size_t TestBackend::RequestCount() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_.size();
}

bool TestBackend::Pause(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !stopSignal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

void TestBackend::AcceptLoop() {
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (stopping_) {
                return;
            }
        }
        net::Socket connection = net::Accept(listener_, kPollMs);
        if (!connection) {
            continue;
        }
        std::lock_guard<std::mutex> guard(mutex_);
        if (stopping_) {
            return;
        }
        exchanges_.emplace_back(
            [this, c = std::move(connection)]() mutable { Serve(std::move(c)); });
    }
}

void TestBackend::Serve(net::Socket connection) {
    std::optional<RecordedRequest> request = ReadRequest(connection);
    if (request) {
        Script script;
        bool firstProxyDemand = false;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            requests_.push_back(*request);
            script = script_;
            if (script.fault == Fault::ProxyAuthOnce) {
                firstProxyDemand = proxyDemands_++ == 0;
            }
        }
        Respond(connection, *request, script, firstProxyDemand);
    }
    if (connection) {
        // End in order and wait for the client to close, so that no unread
        // byte turns our close into a reset the client might see too early.
        net::ShutdownSend(connection);
        char sink[4096];
        for (int waited = 0; waited < kIoTimeoutMs; waited += kPollMs) {
            net::IoResult got = net::Receive(connection, sink, sizeof sink, kPollMs);
            if (got.status != net::IoStatus::Ok && got.status != net::IoStatus::TimedOut) {
                break;
            }
            std::lock_guard<std::mutex> guard(mutex_);
            if (stopping_) {
                break;
            }
        }
    }
}

void TestBackend::Respond(net::Socket& connection, const RecordedRequest& request,
                          const Script& script, bool firstProxyDemand) {
    const std::string target = request.Target();
    const Pipeline* pipeline = FindPipeline(target);
    const bool isPost = request.requestLine.rfind("POST ", 0) == 0;

    // What a well-behaved back end would answer.
    std::string status = "200 OK";
    std::string body;
    if (!isPost) {
        status = "405 Method Not Allowed";
        body = "Only POST is served here\n";
    } else if (pipeline == nullptr) {
        status = "404 Not Found";
        body = "No pipeline at " + target + "\n";
    } else if (script.cannedAnswer) {
        body = *script.cannedAnswer;
    } else {
        body = TranslateWords(*pipeline, request.body);
    }

    switch (script.fault) {
        case Fault::None:
        case Fault::NotListening:
            Send(connection, Head(status, body.size()) + body);
            return;
        case Fault::ErrorStatus:
            Send(connection, Head("500 Internal Server Error", kErrorPageBody.size()) +
                                 std::string(kErrorPageBody));
            return;
        case Fault::TooLarge:
            Send(connection,
                 Head("413 Payload Too Large", kTooLargeBody.size()) + std::string(kTooLargeBody));
            return;
        case Fault::ProxyAuthOnce:
        case Fault::ProxyAuthAlways:
            if (script.fault == Fault::ProxyAuthAlways || firstProxyDemand) {
                Send(connection, Head("407 Proxy Authentication Required", kProxyAuthBody.size(),
                                      "Proxy-Authenticate: Basic realm=\"backend\"\r\n") +
                                     std::string(kProxyAuthBody));
            } else {
                Send(connection, Head(status, body.size()) + body);
            }
            return;
        case Fault::NoAnswer:
            // Keep the exchange open until the client gives up or we stop.
            for (;;) {
                char probe[256];
                net::IoResult got = net::Receive(connection, probe, sizeof probe, kPollMs);
                if (got.status != net::IoStatus::Ok && got.status != net::IoStatus::TimedOut) {
                    return;
                }
                std::lock_guard<std::mutex> guard(mutex_);
                if (stopping_) {
                    return;
                }
            }
        case Fault::SlowTrickle:
            if (!Send(connection, Head(status, body.size()))) {
                return;
            }
            for (char byte : body) {
                if (!Pause(script.tricklePauseMs) ||
                    !Send(connection, std::string_view(&byte, 1))) {
                    return;
                }
            }
            return;
        case Fault::ResetMidBody:
            Send(connection, Head(status, body.size()) + body.substr(0, body.size() / 2));
            net::CloseWithReset(connection);
            return;
        case Fault::HugeBody: {
            if (!Send(connection, Head(status, script.hugeBodyBytes))) {
                return;
            }
            // Streamed from one small block: the body is never held whole.
            std::string block;
            while (block.size() < 64 * 1024) {
                block += kHugeBodyPattern;
            }
            std::uint64_t left = script.hugeBodyBytes;
            while (left > 0) {
                const std::size_t piece =
                    static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
                if (!Send(connection, std::string_view(block.data(), piece))) {
                    return;
                }
                left -= piece;
                std::lock_guard<std::mutex> guard(mutex_);
                if (stopping_) {
                    return;
                }
            }
            return;
        }
        case Fault::NulInBody: {
            std::string withNul = body + std::string(1, '\0') + std::string(kNulTail);
            Send(connection, Head(status, withNul.size()) + withNul);
            return;
        }
        case Fault::InvalidUtf8:
            Send(connection, Head(status, kInvalidUtf8Body.size()) + std::string(kInvalidUtf8Body));
            return;
        case Fault::ShortBody:
            Send(connection, Head(status, body.size() + 16) + body);
            return;
    }
}

}  // namespace test_backend
