#include "tools/demo_backend/http_server.h"

#include <ctime>
#include <optional>
#include <stdexcept>
#include <string>

#include "tools/backend/recorded_request.h"

namespace demo_backend {
namespace {

constexpr int kPollMs = 200;
// A client that stalls this long loses its turn (hang guard, not a deadline).
constexpr int kStallLimitMs = 10000;
constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr std::uint64_t kMaxBodyBytes = 16u << 20;

enum class ReadEnd { Ok, TooLarge, Broken };

// One receive that gives up after kStallLimitMs without data, or at once on stop.
net::IoResult ReceiveSome(net::Socket& connection, char* buffer, std::size_t size,
                          const std::atomic<bool>& stop) {
    for (int waited = 0; waited < kStallLimitMs && !stop; waited += kPollMs) {
        const net::IoResult got = net::Receive(connection, buffer, size, kPollMs);
        if (got.status != net::IoStatus::TimedOut) {
            return got;
        }
    }
    return {net::IoStatus::TimedOut, 0};
}

std::optional<std::uint64_t> ContentLength(const test_backend::RecordedRequest& request) {
    const std::optional<std::string> value = request.Header("Content-Length");
    if (!value || value->empty() || value->size() > 18 ||
        value->find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoull(*value);
}

ReadEnd ReadRequest(net::Socket& connection, const std::atomic<bool>& stop,
                    test_backend::RecordedRequest& request) {
    std::string received;
    char buffer[8192];
    std::size_t headEnd = std::string::npos;
    while (headEnd == std::string::npos) {
        const net::IoResult got = ReceiveSome(connection, buffer, sizeof buffer, stop);
        if (got.status != net::IoStatus::Ok) {
            return ReadEnd::Broken;
        }
        received.append(buffer, got.bytes);
        headEnd = received.find("\r\n\r\n");
        if (headEnd == std::string::npos && received.size() > kMaxHeadBytes) {
            return ReadEnd::TooLarge;
        }
    }
    request = test_backend::ParseRequestHead(received.substr(0, headEnd + 4));
    request.body = received.substr(headEnd + 4);
    const std::uint64_t wanted = ContentLength(request).value_or(0);
    if (wanted > kMaxBodyBytes) {
        return ReadEnd::TooLarge;
    }
    while (request.body.size() < wanted) {
        const net::IoResult got = ReceiveSome(connection, buffer, sizeof buffer, stop);
        if (got.status != net::IoStatus::Ok) {
            return ReadEnd::Broken;
        }
        request.body.append(buffer, got.bytes);
    }
    request.body.resize(static_cast<std::size_t>(wanted));
    return ReadEnd::Ok;
}

void Send(net::Socket& connection, const Response& response) {
    std::string message = "HTTP/1.0 " + std::to_string(response.status) + " " + response.reason +
                          "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                          std::to_string(response.body.size()) + "\r\nConnection: close\r\n\r\n" +
                          response.body;
    net::SendAll(connection, message.data(), message.size(), kStallLimitMs);
    // End in order and let the client close first, so it never sees a reset.
    net::ShutdownSend(connection);
    char drain[4096];
    for (int waited = 0; waited < 2000; waited += kPollMs) {
        const net::IoResult got = net::Receive(connection, drain, sizeof drain, kPollMs);
        if (got.status != net::IoStatus::Ok && got.status != net::IoStatus::TimedOut) {
            break;
        }
    }
}

std::string Clock() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

}  // namespace

HttpServer::HttpServer(std::uint16_t port) {
    if (!net::StartSockets()) {
        throw std::runtime_error("sockets are not available");
    }
    listener_ = net::CreateTcpSocket();
    if (!listener_ || !net::BindLoopback(listener_, port)) {
        throw std::runtime_error("port " + std::to_string(port) +
                                 " on 127.0.0.1 is taken by another program");
    }
    if (!net::Listen(listener_)) {
        throw std::runtime_error("cannot listen on port " + std::to_string(port));
    }
    port_ = net::LocalPort(listener_);
}

std::size_t HttpServer::Run(const std::atomic<bool>& stop, const Handler& handler,
                            std::ostream* log) {
    std::size_t served = 0;
    while (!stop) {
        net::Socket connection = net::Accept(listener_, kPollMs);
        if (!connection) {
            continue;
        }
        test_backend::RecordedRequest request;
        const ReadEnd end = ReadRequest(connection, stop, request);
        if (end == ReadEnd::Broken) {
            continue;  // the client went away; nothing to answer
        }
        Response response;
        std::string method = "?";
        std::string target = "?";
        if (end == ReadEnd::TooLarge) {
            response = {413, "Payload Too Large", "Request too large\n", "request too large"};
        } else {
            method = request.requestLine.substr(0, request.requestLine.find(' '));
            target = request.Target();
            response = handler(method, target, request.body);
        }
        Send(connection, response);
        ++served;
        if (log != nullptr) {
            *log << Clock() << ' ' << method << ' ' << target.substr(0, target.find('?')) << ' '
                 << response.status << " (" << response.note << ") " << request.body.size()
                 << " bytes in, " << response.body.size() << " out" << std::endl;
        }
    }
    return served;
}

}  // namespace demo_backend
