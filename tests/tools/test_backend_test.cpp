#include "tools/backend/test_backend.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/sockets.h"
#include "tools/backend/fault_names.h"
#include "tools/backend/pipelines.h"

using test_backend::Fault;
using test_backend::TestBackend;

namespace {

constexpr int kHangGuardMs = 60000;

struct RawAnswer {
    bool connected = false;
    std::string bytes;   // everything received
    bool reset = false;  // the stream ended with a reset
    std::string Head() const { return bytes.substr(0, bytes.find("\r\n\r\n") + 4); }
    std::string Body() const {
        std::size_t end = bytes.find("\r\n\r\n");
        return end == std::string::npos ? std::string() : bytes.substr(end + 4);
    }
};

net::Socket ConnectTo(std::uint16_t port) {
    net::Socket socket = net::CreateTcpSocket();
    if (!socket || net::Connect(socket, 0x7F000001u, port, kHangGuardMs) != net::IoStatus::Ok) {
        return net::Socket();
    }
    return socket;
}

// Sends raw request bytes and reads until the server ends the stream, or at
// most `limit` bytes.
RawAnswer Exchange(std::uint16_t port, const std::string& request,
                   std::size_t limit = std::string::npos) {
    RawAnswer answer;
    net::Socket socket = ConnectTo(port);
    if (!socket) {
        return answer;
    }
    answer.connected = true;
    net::SendAll(socket, request.data(), request.size(), kHangGuardMs);
    char buffer[16384];
    while (answer.bytes.size() < limit) {
        net::IoResult got = net::Receive(socket, buffer, sizeof buffer, kHangGuardMs);
        if (got.status != net::IoStatus::Ok) {
            answer.reset = got.status == net::IoStatus::Reset;
            break;
        }
        answer.bytes.append(buffer, got.bytes);
    }
    return answer;
}

std::string Post(std::string_view target, std::string_view body) {
    return "POST " + std::string(target) +
           " HTTP/1.0\r\nHost: localhost\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + std::string(body);
}

std::string PathOf(std::string_view source, std::string_view target) {
    for (const test_backend::Pipeline& pipeline : test_backend::Pipelines()) {
        if (pipeline.source == source && pipeline.target == target) {
            return "/" + std::string(pipeline.path);
        }
    }
    return {};
}

}  // namespace

TEST(TestBackend, TranslatesEveryDirectionWordByWord) {
    TestBackend backend;
    struct Case {
        const char* source;
        const char* target;
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"ar", "en", "مرحبا عالم", "hello world"}, {"en", "ar", "Hello world", "مرحبا عالم"},
        {"fa", "en", "سلام دنیا", "hello world"},  {"en", "fa", "book house", "کتاب خانه"},
        {"it", "en", "ciao MONDO", "hello world"}, {"de", "en", "Hallo Welt", "hello world"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.source) + "-" + c.target);
        RawAnswer answer = Exchange(backend.Port(), Post(PathOf(c.source, c.target), c.text));
        ASSERT_TRUE(answer.connected);
        EXPECT_EQ(answer.bytes.rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << answer.bytes;
        EXPECT_NE(answer.Head().find("Content-Length: " + std::to_string(c.expected.size())),
                  std::string::npos);
        EXPECT_EQ(answer.Body(), c.expected);
    }
    EXPECT_EQ(backend.RequestCount(), 6u);
}

TEST(TestBackend, MarksUnknownWordsAndKeepsSeparators) {
    const test_backend::Pipeline* german = test_backend::FindPipeline(PathOf("de", "en"));
    ASSERT_NE(german, nullptr);
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"", ""},
        {"Haus", "house"},
        {"Katze", "<unk> Katze </unk>"},
        {"das Haus", "<unk> das </unk> house"},
        {"  Haus\tund\r\nBuch ", "  house\tand\r\nbook "},
        {"a<b & c", "<unk> a<b </unk> <unk> & </unk> <unk> c </unk>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(test_backend::TranslateWords(*german, c.text), c.expected) << c.text;
    }
}

TEST(TestBackend, ServesOnlyTheExactPipelinePaths) {
    EXPECT_NE(test_backend::FindPipeline(PathOf("it", "en")), nullptr);
    // Nothing but the whole path, byte for byte, selects a pipeline.
    const std::string exact = PathOf("it", "en");
    const std::string near[] = {exact.substr(1),
                                exact + "&x=1",
                                exact.substr(0, exact.size() - 1),
                                "/fcgiDispatch.ie",
                                "/",
                                ""};
    for (const std::string& target : near) {
        EXPECT_EQ(test_backend::FindPipeline(target), nullptr) << target;
    }
    EXPECT_EQ(test_backend::Pipelines().size(), 6u);
}

TEST(TestBackend, AnswersUnknownPathsAndOtherVerbsWithABody) {
    TestBackend backend;
    RawAnswer unknown = Exchange(backend.Port(), Post("/fcgiDispatch.xx", "Haus"));
    EXPECT_EQ(unknown.bytes.rfind("HTTP/1.0 404 ", 0), 0u) << unknown.bytes;
    EXPECT_EQ(unknown.Body(), "No pipeline at /fcgiDispatch.xx\n");

    RawAnswer get = Exchange(backend.Port(), "GET " + PathOf("de", "en") + " HTTP/1.0\r\n\r\n");
    EXPECT_EQ(get.bytes.rfind("HTTP/1.0 405 ", 0), 0u) << get.bytes;
    EXPECT_FALSE(get.Body().empty());
}

TEST(TestBackend, RecordsRequestsExactlyAsReceived) {
    TestBackend backend;
    const std::string body("Haus\0\xFF und", 10);
    const std::string head = "POST " + PathOf("de", "en") +
                             " HTTP/1.0\r\nHost: localhost:1\r\nX-Odd:   spaced value  \r\n"
                             "content-length: " +
                             std::to_string(body.size()) + "\r\n\r\n";
    Exchange(backend.Port(), head + body);
    std::vector<test_backend::RecordedRequest> requests = backend.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const test_backend::RecordedRequest& recorded = requests[0];
    EXPECT_EQ(recorded.head, head);
    EXPECT_EQ(recorded.body, body);
    EXPECT_EQ(recorded.requestLine, "POST " + PathOf("de", "en") + " HTTP/1.0");
    EXPECT_EQ(recorded.Target(), PathOf("de", "en"));
    EXPECT_EQ(recorded.Header("x-odd"), "spaced value");
    EXPECT_EQ(recorded.Header("Content-Length"), "10");
    EXPECT_FALSE(recorded.Header("Content-Type").has_value());
}

TEST(TestBackend, CannedAnswerReplacesTheTranslation) {
    TestBackend backend;
    backend.SetCannedAnswer(std::string("<unk> x </unk>\0!", 16));
    EXPECT_EQ(Exchange(backend.Port(), Post(PathOf("de", "en"), "Haus")).Body(),
              std::string("<unk> x </unk>\0!", 16));
    backend.SetCannedAnswer(std::nullopt);
    EXPECT_EQ(Exchange(backend.Port(), Post(PathOf("de", "en"), "Haus")).Body(), "house");
}

// Each scripted fault, as a plain client sees it on the wire.
TEST(TestBackend, ScriptedFaultsOnTheWire) {
    const std::string request = Post(PathOf("de", "en"), "Hallo Welt");
    {
        TestBackend backend(0, Fault::ErrorStatus);
        RawAnswer answer = Exchange(backend.Port(), request);
        EXPECT_EQ(answer.bytes.rfind("HTTP/1.0 500 ", 0), 0u);
        EXPECT_EQ(answer.Body(), test_backend::kErrorPageBody);
    }
    {
        TestBackend backend(0, Fault::TooLarge);
        RawAnswer answer = Exchange(backend.Port(), request);
        EXPECT_EQ(answer.bytes.rfind("HTTP/1.0 413 Payload Too Large\r\n", 0), 0u);
        EXPECT_EQ(answer.Body(), test_backend::kTooLargeBody);
    }
    {
        TestBackend backend(0, Fault::ProxyAuthOnce);
        RawAnswer first = Exchange(backend.Port(), request);
        RawAnswer second = Exchange(backend.Port(), request);
        EXPECT_EQ(first.bytes.rfind("HTTP/1.0 407 ", 0), 0u);
        EXPECT_NE(first.Head().find("Proxy-Authenticate: Basic"), std::string::npos);
        EXPECT_EQ(second.Body(), "hello world");
    }
    {
        TestBackend backend(0, Fault::ProxyAuthAlways);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Exchange(backend.Port(), request).bytes.rfind("HTTP/1.0 407 ", 0), 0u);
        }
    }
    {
        TestBackend backend(0, Fault::SlowTrickle);
        backend.SetTricklePauseMs(1);
        EXPECT_EQ(Exchange(backend.Port(), request).Body(), "hello world");
    }
    {
        TestBackend backend(0, Fault::NulInBody);
        EXPECT_EQ(Exchange(backend.Port(), request).Body(),
                  "hello world" + std::string(1, '\0') + std::string(test_backend::kNulTail));
    }
    {
        TestBackend backend(0, Fault::InvalidUtf8);
        EXPECT_EQ(Exchange(backend.Port(), request).Body(), test_backend::kInvalidUtf8Body);
    }
    {
        TestBackend backend(0, Fault::ShortBody);
        RawAnswer answer = Exchange(backend.Port(), request);
        EXPECT_NE(answer.Head().find("Content-Length: " + std::to_string(11 + 16)),
                  std::string::npos);
        EXPECT_EQ(answer.Body(), "hello world");
        EXPECT_FALSE(answer.reset);
    }
    {
        TestBackend backend(0, Fault::ResetMidBody);
        RawAnswer answer = Exchange(backend.Port(), request);
        EXPECT_NE(answer.Head().find("Content-Length: 11"), std::string::npos);
        EXPECT_LT(answer.Body().size(), 11u);
    }
}

TEST(TestBackend, HugeBodyIsAnnouncedAndStreamed) {
    TestBackend backend(0, Fault::HugeBody);
    // Read only the first megabyte: the rest is never produced whole.
    RawAnswer answer = Exchange(backend.Port(), Post(PathOf("de", "en"), "Haus"), 1 << 20);
    EXPECT_NE(answer.Head().find("Content-Length: " +
                                 std::to_string(test_backend::kDefaultHugeBodyBytes)),
              std::string::npos);
    EXPECT_GT(test_backend::kDefaultHugeBodyBytes, std::uint64_t{64} << 20);
    EXPECT_EQ(answer.Body().substr(0, 12), "lorem lorem ");

    backend.SetHugeBodyBytes(100000);
    RawAnswer whole = Exchange(backend.Port(), Post(PathOf("de", "en"), "Haus"));
    EXPECT_EQ(whole.Body().size(), 100000u);
}

TEST(TestBackend, NotListeningRefusesConnections) {
    TestBackend backend(0, Fault::NotListening);
    ASSERT_NE(backend.Port(), 0);
    net::Socket socket = net::CreateTcpSocket();
    EXPECT_EQ(net::Connect(socket, 0x7F000001u, backend.Port(), kHangGuardMs),
              net::IoStatus::Refused);
    EXPECT_THROW(backend.SetFault(Fault::NotListening), std::logic_error);
}

TEST(TestBackend, StopEndsAnExchangeThatIsKeptWaiting) {
    TestBackend backend(0, Fault::NoAnswer);
    net::Socket socket = ConnectTo(backend.Port());
    ASSERT_TRUE(socket);
    const std::string request = Post(PathOf("de", "en"), "Haus");
    net::SendAll(socket, request.data(), request.size(), kHangGuardMs);
    char byte;
    // Nothing arrives while the back end keeps the exchange open...
    EXPECT_EQ(net::Receive(socket, &byte, 1, 200).status, net::IoStatus::TimedOut);
    // ...and stopping ends it (the hang guard only bounds a broken Stop).
    backend.Stop();
    net::IoStatus end = net::Receive(socket, &byte, 1, kHangGuardMs).status;
    EXPECT_TRUE(end == net::IoStatus::Closed || end == net::IoStatus::Reset);
    EXPECT_EQ(backend.RequestCount(), 1u);
}

TEST(TestBackend, RefusesAPortThatIsTaken) {
    TestBackend first;
    try {
        TestBackend second(first.Port());
        FAIL() << "a second back end started on a taken port";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(std::to_string(first.Port()) + " on 127.0.0.1"),
                  std::string::npos)
            << error.what();
    }
}

TEST(TestBackend, FaultNamesRoundTrip) {
    const Fault all[] = {Fault::None,          Fault::ErrorStatus,     Fault::TooLarge,
                         Fault::ProxyAuthOnce, Fault::ProxyAuthAlways, Fault::NoAnswer,
                         Fault::SlowTrickle,   Fault::ResetMidBody,    Fault::HugeBody,
                         Fault::NulInBody,     Fault::InvalidUtf8,     Fault::ShortBody,
                         Fault::NotListening};
    for (Fault fault : all) {
        const std::string_view name = test_backend::FaultName(fault);
        EXPECT_EQ(test_backend::FaultFromName(name), fault) << name;
        EXPECT_NE(test_backend::AllFaultNames().find(name), std::string_view::npos) << name;
    }
    EXPECT_FALSE(test_backend::FaultFromName("None").has_value());
    EXPECT_FALSE(test_backend::FaultFromName("").has_value());
}
