#include "bench/bare_client.h"

#include <cstddef>

#include "backend/http_transport.h"
#include "platform/sockets.h"

namespace bench {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr int kTimeoutMs = 30000;  // a hang guard only

// Content-Length of a response head, if it has a usable one.
std::optional<std::size_t> ContentLength(std::string_view head) {
    constexpr std::string_view kName = "\r\ncontent-length:";
    for (std::size_t at = 0; at + kName.size() <= head.size(); ++at) {
        std::size_t k = 0;
        while (k < kName.size()) {
            char c = head[at + k];
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
            if (c != kName[k]) {
                break;
            }
            ++k;
        }
        if (k != kName.size()) {
            continue;
        }
        std::size_t position = at + kName.size();
        while (position < head.size() && head[position] == ' ') {
            ++position;
        }
        std::size_t value = 0;
        std::size_t digits = 0;
        for (; position < head.size() && head[position] >= '0' && head[position] <= '9';
             ++position, ++digits) {
            value = value * 10 + static_cast<std::size_t>(head[position] - '0');
        }
        if (digits == 0 || digits > 15) {
            return std::nullopt;
        }
        return value;
    }
    return std::nullopt;
}

}  // namespace

std::string BackendRequest(std::string_view path, std::uint16_t port, std::string_view body) {
    std::string request;
    request.reserve(256 + path.size() + body.size());
    request += "POST /";
    request += path;
    request += " HTTP/1.0\r\nHost: localhost:";
    request += std::to_string(port);
    request += "\r\nUser-Agent: ";
    request += kBackendUserAgent;
    request += "\r\n";
    request += kBackendContentType;
    request += "Content-Length: ";
    request += std::to_string(body.size());
    request += "\r\n\r\n";
    request += body;
    return request;
}

std::optional<std::string> BareExchange(std::uint16_t port, std::string_view request) {
    net::Socket socket = net::CreateTcpSocket();
    if (!socket || net::Connect(socket, kLoopback, port, kTimeoutMs) != net::IoStatus::Ok ||
        net::SendAll(socket, request.data(), request.size(), kTimeoutMs).status !=
            net::IoStatus::Ok) {
        return std::nullopt;
    }
    std::string received;
    std::size_t bodyStart = std::string::npos;
    std::optional<std::size_t> length;
    char buffer[16384];
    for (;;) {
        if (bodyStart != std::string::npos && length && received.size() - bodyStart >= *length) {
            break;
        }
        const net::IoResult got = net::Receive(socket, buffer, sizeof buffer, kTimeoutMs);
        if (got.status == net::IoStatus::Closed) {
            break;
        }
        if (got.status != net::IoStatus::Ok) {
            return std::nullopt;
        }
        received.append(buffer, got.bytes);
        if (bodyStart == std::string::npos) {
            const std::size_t blank = received.find("\r\n\r\n");
            if (blank != std::string::npos) {
                bodyStart = blank + 4;
                length = ContentLength(std::string_view(received).substr(0, blank + 2));
            }
        }
    }
    if (bodyStart == std::string::npos) {
        return std::nullopt;
    }
    std::string body = received.substr(bodyStart);
    if (length && body.size() > *length) {
        body.resize(*length);
    }
    return body;
}

}  // namespace bench
