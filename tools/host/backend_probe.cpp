#include "tools/host/backend_probe.h"

#include <cstdint>

#include <nlohmann/json.hpp>

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

// One request, one answer, as the engine exchanges them.
PipelineAnswer Exchange(const std::string& request) {
    PipelineAnswer answer;
    net::Socket socket;
    const net::IoStatus connected = ConnectToBackend(socket);
    if (connected != net::IoStatus::Ok) {
        answer.problem = StatusText(connected);
        return answer;
    }
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

}  // namespace

std::string BackendEndpoint() {
    return std::string(kBackendHost) + ":" + std::to_string(BackendPort());
}

bool BackendListening() {
    net::Socket socket;
    return ConnectToBackend(socket) == net::IoStatus::Ok;
}

PipelineAnswer PostToPipeline(const std::string& path, std::string_view body) {
    std::string request = "POST /" + path + " HTTP/1.0\r\nHost: " + BackendEndpoint() + "\r\n" +
                          kBackendContentType + "Content-Length: " + std::to_string(body.size()) +
                          "\r\n\r\n";
    request += body;
    return Exchange(request);
}

std::optional<BridgeStatus> ReadBridgeStatus() {
    const PipelineAnswer answer =
        Exchange("GET /status HTTP/1.0\r\nHost: " + BackendEndpoint() + "\r\n\r\n");
    if (!answer.reached || answer.status != 200) {
        return std::nullopt;
    }
    const nlohmann::json document = nlohmann::json::parse(answer.body, nullptr, false);
    if (!document.is_object() || !document.contains("upstreams") ||
        !document["upstreams"].is_array() || !document.contains("directions") ||
        !document["directions"].is_object()) {
        return std::nullopt;
    }
    try {
        BridgeStatus status;
        status.version = document.value("version", "");
        for (const auto& direction : document["directions"].items()) {
            status.directions.insert(direction.key());
        }
        for (const nlohmann::json& upstream : document["upstreams"]) {
            status.upstreams.push_back({upstream.value("description", ""),
                                        upstream.value("calls", std::uint64_t{0}),
                                        upstream.value("failures", std::uint64_t{0})});
        }
        if (document.contains("cache")) {
            status.cacheHits = document["cache"].value("hits", std::uint64_t{0});
        }
        return status;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;  // a field of another type: not a bridge's document
    }
}

std::string ServedBy(const BridgeStatus& before, const BridgeStatus& after) {
    if (after.cacheHits > before.cacheHits) {
        return "from its cache";
    }
    if (before.upstreams.size() != after.upstreams.size()) {
        return {};  // not the same bridge
    }
    std::string served;
    std::string failed;
    for (std::size_t i = 0; i < after.upstreams.size(); ++i) {
        const BridgeStatus::Upstream& was = before.upstreams[i];
        const BridgeStatus::Upstream& is = after.upstreams[i];
        if (is.failures > was.failures) {
            failed += (failed.empty() ? "" : ", ") + is.description;
        } else if (is.calls > was.calls) {
            served += (served.empty() ? "" : ", ") + is.description;
        }
    }
    if (served.empty()) {
        return {};
    }
    return "via " + served + (failed.empty() ? "" : " after " + failed + " failed");
}

}  // namespace host
