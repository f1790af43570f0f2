// The instrument of the load tests: the relay must see exchanges that really
// run at the same time as overlapping, and sequential ones as not.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/load/recording_relay.h"
#include "tools/backend/pipelines.h"
#include "tools/backend/test_backend.h"

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr int kTimeoutMs = 60000;

// Opens a connection to the relay and sends one translation request.
net::Socket SendRequest(std::uint16_t port) {
    const std::string body = "\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7";  // "hello" in Arabic
    const std::string request = "POST /" + std::string(test_backend::Pipelines()[0].path) +
                                " HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) +
                                "\r\n\r\n" + body;
    net::Socket socket = net::CreateTcpSocket();
    EXPECT_EQ(net::Connect(socket, kLoopback, port, kTimeoutMs), net::IoStatus::Ok);
    EXPECT_EQ(net::SendAll(socket, request.data(), request.size(), kTimeoutMs).status,
              net::IoStatus::Ok);
    return socket;
}

std::string ReadAnswer(net::Socket& socket) {
    std::string answer;
    char buffer[4096];
    for (;;) {
        const net::IoResult got = net::Receive(socket, buffer, sizeof buffer, kTimeoutMs);
        if (got.status != net::IoStatus::Ok) {
            break;
        }
        answer.append(buffer, got.bytes);
    }
    socket.reset();
    return answer;
}

TEST(RecordingRelay, SequentialExchangesDoNotOverlap) {
    test_backend::TestBackend backend;
    load::RecordingRelay relay(0, backend.Port());
    for (int i = 0; i < 3; ++i) {
        net::Socket socket = SendRequest(relay.Port());
        const std::string answer = ReadAnswer(socket);
        EXPECT_NE(answer.find("\r\n\r\nhello"), std::string::npos) << answer;
    }
    relay.Stop();
    EXPECT_EQ(relay.Exchanges().size(), 3u);
    EXPECT_EQ(relay.OverlappingPairs(), 0u);
    for (const load::ExchangeMarks& marks : relay.Exchanges()) {
        EXPECT_TRUE(marks.answered);
        EXPECT_LT(marks.begin, marks.end);
    }
}

TEST(RecordingRelay, ExchangesInProgressTogetherOverlap) {
    // The back end trickles its answers, so both requests are in progress
    // while either is being answered.
    test_backend::TestBackend backend(0, test_backend::Fault::SlowTrickle);
    backend.SetTricklePauseMs(100);
    load::RecordingRelay relay(0, backend.Port());
    std::vector<net::Socket> sockets;
    for (int i = 0; i < 3; ++i) {
        sockets.push_back(SendRequest(relay.Port()));
    }
    for (net::Socket& socket : sockets) {
        EXPECT_NE(ReadAnswer(socket).find("hello"), std::string::npos);
    }
    relay.Stop();
    EXPECT_EQ(relay.Exchanges().size(), 3u);
    EXPECT_EQ(relay.OverlappingPairs(), 3u);
}

}  // namespace
