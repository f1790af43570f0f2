#include "tests/bridge/support/stand_in_server.h"

#include <cctype>
#include <optional>
#include <stdexcept>

namespace bridge_test {
namespace {

constexpr int kPollMs = 50;

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

const char* StatusText(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 429:
            return "Too Many Requests";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

}  // namespace

std::string StandInRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (SameName(key, name)) {
            return value;
        }
    }
    return {};
}

StandInServer::StandInServer(Handler handler) : handler_(std::move(handler)) {
    net::StartSockets();
    listener_ = net::CreateTcpSocket();
    if (!listener_ || !net::BindLoopback(listener_, 0) || !net::Listen(listener_)) {
        throw std::runtime_error("the stand-in server cannot listen on 127.0.0.1");
    }
    port_ = net::LocalPort(listener_);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

StandInServer::~StandInServer() {
    Stop();
}

std::vector<StandInRequest> StandInServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void StandInServer::Stop() {
    if (stopping_.exchange(true)) {
        return;
    }
    acceptor_.join();
    listener_.reset();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(mutex_);
        connections.swap(connections_);
    }
    for (std::thread& connection : connections) {
        connection.join();
    }
}

void StandInServer::AcceptLoop() {
    while (!stopping_) {
        net::Socket connection = net::Accept(listener_, kPollMs);
        if (connection) {
            std::lock_guard lock(mutex_);
            connections_.emplace_back(
                [this, socket = std::move(connection)]() mutable { Serve(std::move(socket)); });
        }
    }
}

void StandInServer::Serve(net::Socket connection) {
    std::string received;
    char buffer[16384];
    // Waits for more bytes while the server runs; false when the peer ends.
    auto receiveMore = [&] {
        while (!stopping_) {
            const net::IoResult got = net::Receive(connection, buffer, sizeof buffer, kPollMs);
            if (got.status == net::IoStatus::Ok) {
                received.append(buffer, got.bytes);
                return true;
            }
            if (got.status != net::IoStatus::TimedOut) {
                return false;
            }
        }
        return false;
    };
    for (;;) {
        std::size_t headEnd;
        while ((headEnd = received.find("\r\n\r\n")) == std::string::npos) {
            if (!receiveMore()) {
                return;
            }
        }
        StandInRequest request;
        const std::string head = received.substr(0, headEnd);
        received.erase(0, headEnd + 4);
        std::size_t lineEnd = head.find("\r\n");
        const std::string requestLine = head.substr(0, lineEnd);
        const std::size_t space = requestLine.find(' ');
        request.method = requestLine.substr(0, space);
        request.target = requestLine.substr(space + 1, requestLine.rfind(' ') - space - 1);
        std::size_t bodyLength = 0;
        while (lineEnd != std::string::npos) {
            const std::size_t next = head.find("\r\n", lineEnd + 2);
            const std::string line = head.substr(lineEnd + 2, next - lineEnd - 2);
            lineEnd = next;
            const std::size_t colon = line.find(':');
            if (colon == std::string::npos) {
                continue;
            }
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            request.headers.emplace_back(line.substr(0, colon), value);
            if (SameName(request.headers.back().first, "Content-Length")) {
                bodyLength = std::stoul(value);
            }
        }
        while (received.size() < bodyLength) {
            if (!receiveMore()) {
                return;
            }
        }
        request.body = received.substr(0, bodyLength);
        received.erase(0, bodyLength);
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        const StandInAnswer answer = handler_(request);
        if (answer.hang) {
            while (receiveMore()) {
            }
            return;
        }
        std::string reply = "HTTP/1.1 " + std::to_string(answer.status) + " " +
                            StatusText(answer.status) + "\r\nContent-Type: " + answer.contentType +
                            "\r\nContent-Length: " + std::to_string(answer.body.size()) +
                            "\r\n\r\n" + answer.body;
        if (net::SendAll(connection, reply.data(), reply.size(), 10000).status !=
            net::IoStatus::Ok) {
            return;
        }
    }
}

}  // namespace bridge_test
