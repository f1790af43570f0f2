#include "bench/echo_backend.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace bench {
namespace {

constexpr int kPollMs = 50;
constexpr int kIoTimeoutMs = 30000;  // a hang guard only
constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr std::size_t kMaxBodyBytes = std::size_t{1} << 30;

std::optional<std::size_t> RequestContentLength(std::string_view head) {
    constexpr std::string_view kName = "content-length:";
    std::size_t lineStart = head.find("\r\n");
    while (lineStart != std::string_view::npos) {
        lineStart += 2;
        const std::size_t lineEnd = head.find("\r\n", lineStart);
        std::string_view line =
            head.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos
                                                                     : lineEnd - lineStart);
        if (line.size() > kName.size()) {
            bool same = true;
            for (std::size_t i = 0; i < kName.size() && same; ++i) {
                char c = line[i];
                if (c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c - 'A' + 'a');
                }
                same = c == kName[i];
            }
            if (same) {
                std::size_t value = 0;
                std::size_t digits = 0;
                for (char c : line.substr(kName.size())) {
                    if (c == ' ' && digits == 0) {
                        continue;
                    }
                    if (c < '0' || c > '9' || ++digits > 15) {
                        return std::nullopt;
                    }
                    value = value * 10 + static_cast<std::size_t>(c - '0');
                }
                return digits > 0 ? std::optional<std::size_t>(value) : std::nullopt;
            }
        }
        lineStart = lineEnd;
    }
    return std::nullopt;
}

bool Send(net::Socket& connection, std::string_view bytes) {
    return net::SendAll(connection, bytes.data(), bytes.size(), kIoTimeoutMs).status ==
           net::IoStatus::Ok;
}

}  // namespace

EchoBackend::EchoBackend() {
    listener_ = net::CreateTcpSocket();
    if (!listener_ || !net::BindLoopback(listener_, 0) || !net::Listen(listener_)) {
        throw std::runtime_error("echo back end: cannot listen on 127.0.0.1");
    }
    port_ = net::LocalPort(listener_);
    thread_ = std::thread([this] { Run(); });
}

EchoBackend::~EchoBackend() {
    stopping_.store(true);
    thread_.join();
}

void EchoBackend::Run() {
    while (!stopping_.load()) {
        net::Socket connection = net::Accept(listener_, kPollMs);
        if (connection) {
            Serve(connection);
        }
    }
}

void EchoBackend::Serve(net::Socket& connection) {
    std::string received;
    std::size_t headEnd = std::string::npos;
    char buffer[65536];
    while (headEnd == std::string::npos) {
        const net::IoResult got = net::Receive(connection, buffer, sizeof buffer, kIoTimeoutMs);
        if (got.status != net::IoStatus::Ok || received.size() > kMaxHeadBytes) {
            return;
        }
        received.append(buffer, got.bytes);
        headEnd = received.find("\r\n\r\n");
    }
    const std::size_t length =
        RequestContentLength(std::string_view(received).substr(0, headEnd + 2)).value_or(0);
    if (length > kMaxBodyBytes) {
        return;
    }
    std::string body;
    body.reserve(length);
    body.append(received, headEnd + 4, std::string::npos);
    received = std::string();
    while (body.size() < length) {
        const std::size_t wanted = std::min(sizeof buffer, length - body.size());
        const net::IoResult got = net::Receive(connection, buffer, wanted, kIoTimeoutMs);
        if (got.status != net::IoStatus::Ok) {
            return;
        }
        body.append(buffer, got.bytes);
    }
    body.resize(length);

    const std::string head =
        "HTTP/1.0 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    if (!Send(connection, head) || !Send(connection, body)) {
        return;
    }
    answered_.fetch_add(1);
    // End in order and let the client close first, so that our close never
    // turns into a reset it could see before the last byte.
    net::ShutdownSend(connection);
    for (int waited = 0; waited < kIoTimeoutMs && !stopping_.load(); waited += kPollMs) {
        const net::IoResult got = net::Receive(connection, buffer, sizeof buffer, kPollMs);
        if (got.status != net::IoStatus::Ok && got.status != net::IoStatus::TimedOut) {
            break;
        }
    }
}

}  // namespace bench
