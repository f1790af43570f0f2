#include "tests/load/recording_relay.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace load {
namespace {

constexpr int kIoTimeoutMs = 60000;  // a stuck peer, not a slow one
constexpr int kPollMs = 50;
constexpr std::uint32_t kLoopback = 0x7F000001;

// Content-Length of a request or response head, 0 when absent.
std::size_t ContentLength(const std::string& head) {
    std::string lower(head);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    const std::size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) {
        return 0;
    }
    std::size_t i = at + 17;
    while (i < lower.size() && lower[i] == ' ') {
        ++i;
    }
    std::size_t length = 0;
    while (i < lower.size() && lower[i] >= '0' && lower[i] <= '9') {
        length = length * 10 + static_cast<std::size_t>(lower[i] - '0');
        ++i;
    }
    return length;
}

// One HTTP request: the head through its blank line and Content-Length bytes.
std::optional<std::string> ReadRequest(const net::Socket& socket) {
    std::string received;
    char buffer[16384];
    std::size_t headEnd = std::string::npos;
    while (headEnd == std::string::npos) {
        const net::IoResult got = net::Receive(socket, buffer, sizeof buffer, kIoTimeoutMs);
        if (got.status != net::IoStatus::Ok) {
            return std::nullopt;
        }
        received.append(buffer, got.bytes);
        headEnd = received.find("\r\n\r\n");
    }
    const std::size_t whole = headEnd + 4 + ContentLength(received.substr(0, headEnd + 2));
    while (received.size() < whole) {
        const net::IoResult got = net::Receive(socket, buffer, sizeof buffer, kIoTimeoutMs);
        if (got.status != net::IoStatus::Ok) {
            return std::nullopt;
        }
        received.append(buffer, got.bytes);
    }
    return received;
}

// Everything the peer sends until it ends the stream.
std::string ReadToEnd(const net::Socket& socket) {
    std::string received;
    char buffer[16384];
    for (;;) {
        const net::IoResult got = net::Receive(socket, buffer, sizeof buffer, kIoTimeoutMs);
        if (got.status != net::IoStatus::Ok) {
            return received;
        }
        received.append(buffer, got.bytes);
    }
}

}  // namespace

RecordingRelay::RecordingRelay(std::uint16_t listenPort, std::uint16_t targetPort)
    : target_(targetPort) {
    net::StartSockets();
    listener_ = net::CreateTcpSocket();
    if (!listener_ || !net::BindLoopback(listener_, listenPort) || !net::Listen(listener_)) {
        throw std::runtime_error("relay: cannot listen on 127.0.0.1:" + std::to_string(listenPort));
    }
    port_ = net::LocalPort(listener_);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

RecordingRelay::~RecordingRelay() {
    Stop();
}

void RecordingRelay::Stop() {
    stopping_ = true;
    if (acceptThread_.joinable()) {
        acceptThread_.join();
    }
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

std::vector<ExchangeMarks> RecordingRelay::Exchanges() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return marks_;
}

std::size_t RecordingRelay::OverlappingPairs() const {
    std::vector<ExchangeMarks> marks = Exchanges();
    std::sort(marks.begin(), marks.end(),
              [](const ExchangeMarks& a, const ExchangeMarks& b) { return a.begin < b.begin; });
    std::size_t pairs = 0;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        for (std::size_t j = i + 1; j < marks.size() && marks[j].begin < marks[i].end; ++j) {
            ++pairs;
        }
    }
    return pairs;
}

void RecordingRelay::AcceptLoop() {
    while (!stopping_) {
        net::Socket client = net::Accept(listener_, kPollMs);
        if (!client) {
            continue;
        }
        std::lock_guard<std::mutex> guard(mutex_);
        exchanges_.emplace_back([this, c = std::move(client)]() mutable { Serve(std::move(c)); });
    }
}

void RecordingRelay::Serve(net::Socket client) {
    const std::optional<std::string> request = ReadRequest(client);
    if (!request) {
        return;
    }
    ExchangeMarks marks;
    marks.begin = clock_.fetch_add(1);

    net::Socket backend = net::CreateTcpSocket();
    std::string answer;
    if (net::Connect(backend, kLoopback, target_, kIoTimeoutMs) == net::IoStatus::Ok &&
        net::SendAll(backend, request->data(), request->size(), kIoTimeoutMs).status ==
            net::IoStatus::Ok) {
        answer = ReadToEnd(backend);
    }
    backend.reset();

    // All but the last byte, the end mark, then the last byte: the client
    // cannot have the whole answer before the mark is taken.
    bool sent = true;
    if (answer.size() > 1) {
        sent = net::SendAll(client, answer.data(), answer.size() - 1, kIoTimeoutMs).status ==
               net::IoStatus::Ok;
    }
    marks.end = clock_.fetch_add(1);
    if (sent && !answer.empty()) {
        sent = net::SendAll(client, answer.data() + answer.size() - 1, 1, kIoTimeoutMs).status ==
               net::IoStatus::Ok;
    }
    marks.answered = sent && !answer.empty();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        marks_.push_back(marks);
    }
    // End in order and let the client close first, so that no reset can
    // overtake the answer.
    net::ShutdownSend(client);
    char drain[4096];
    while (!stopping_) {
        const net::IoResult got = net::Receive(client, drain, sizeof drain, kPollMs);
        if (got.status != net::IoStatus::Ok && got.status != net::IoStatus::TimedOut) {
            break;
        }
    }
}

}  // namespace load
