#include "tools/host/backend_probe.h"

#include <cstdint>

#include "backend/http_transport.h"
#include "platform/sockets.h"

namespace host {
namespace {

// Hang guards only: a healthy back end answers a one-word probe at once.
constexpr int kConnectTimeoutMs = 5000;
constexpr int kIoTimeoutMs = 30000;
constexpr std::size_t kMaxProbeAnswer = std::size_t{1} << 20;

std::string StatusText(net::IoStatus status) {
    switch (status) {
        case net::IoStatus::Ok:
            return "ok";
        case net::IoStatus::Closed:
            return "the connection was closed";
        case net::IoStatus::TimedOut:
            return "no answer in time";
        case net::IoStatus::Refused:
            return "connection refused";
        case net::IoStatus::Reset:
            return "the connection was reset";
        case net::IoStatus::Failed:
            break;
    }
    return "network error";
}

net::IoStatus ConnectToBackend(net::Socket& socket) {
    std::uint32_t address = 0;
    if (!net::StartSockets() || !net::ResolveIpv4(kBackendHost, address)) {
        return net::IoStatus::Failed;
    }
    socket = net::CreateTcpSocket();
    if (!socket) {
        return net::IoStatus::Failed;
    }
    return net::Connect(socket, address, BackendPort(), kConnectTimeoutMs);
}

bool ParseStatus(const std::string& head, int& status) {
    // "HTTP/1.x NNN reason"
    const std::size_t blank = head.find(' ');
    if (head.rfind("HTTP/", 0) != 0 || blank == std::string::npos || head.size() < blank + 4) {
        return false;
    }
    status = 0;
    for (std::size_t i = blank + 1; i < blank + 4; ++i) {
        if (head[i] < '0' || head[i] > '9') {
            return false;
        }
        status = status * 10 + (head[i] - '0');
    }
    return true;
}

}  // namespace

std::string BackendEndpoint() {
    return std::string(kBackendHost) + ":" + std::to_string(BackendPort());
}

bool BackendListening() {
    net::Socket socket;
    return ConnectToBackend(socket) == net::IoStatus::Ok;
}

PipelineAnswer PostToPipeline(const std::string& path, std::string_view body) {
    PipelineAnswer answer;
    net::Socket socket;
    const net::IoStatus connected = ConnectToBackend(socket);
    if (connected != net::IoStatus::Ok) {
        answer.problem = StatusText(connected);
        return answer;
    }
    std::string request = "POST /" + path + " HTTP/1.0\r\nHost: " + BackendEndpoint() + "\r\n" +
                          kBackendContentType + "Content-Length: " + std::to_string(body.size()) +
                          "\r\n\r\n";
    request += body;
    const net::IoResult sent = net::SendAll(socket, request.data(), request.size(), kIoTimeoutMs);
    if (sent.status != net::IoStatus::Ok) {
        answer.problem = "sending failed: " + StatusText(sent.status);
        return answer;
    }
    std::string received;
    char buffer[8192];
    for (;;) {
        const net::IoResult got = net::Receive(socket, buffer, sizeof buffer, kIoTimeoutMs);
        if (got.status == net::IoStatus::Closed) {
            break;
        }
        if (got.status != net::IoStatus::Ok) {
            answer.problem = "reading the answer failed: " + StatusText(got.status);
            return answer;
        }
        received.append(buffer, got.bytes);
        if (received.size() > kMaxProbeAnswer) {
            answer.problem = "the answer is larger than any translation of one word";
            return answer;
        }
    }
    const std::size_t headEnd = received.find("\r\n\r\n");
    if (headEnd == std::string::npos || !ParseStatus(received, answer.status)) {
        answer.problem = "the answer is not HTTP";
        return answer;
    }
    answer.reached = true;
    answer.body = received.substr(headEnd + 4);
    return answer;
}

}  // namespace host
