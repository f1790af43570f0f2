#include "backend/http_transport.h"

#include <gtest/gtest.h>

#include <string>

#include "backend/pipeline_table.h"
#include "tests/backend/backend_test_support.h"
#include "tools/backend/fault_names.h"
#include "text/exceptions.h"

using test_backend::Fault;

namespace {

// The message of the StringException that PostToBackend throws, or "" if none.
std::string FailureOf(const std::string& path, std::string_view body) {
    try {
        PostToBackend(path, body);
    } catch (const StringException& error) {
        return error.Message();
    }
    return {};
}

const std::string kGermanPath = PipelinePath(u"de", u"en");

TEST(HttpTransport, WireFormatForEveryPipeline) {
    PointedBackend pointed;
    const std::pair<std::u16string, std::u16string> pairs[] = {
        {u"ar", u"en"}, {u"en", u"ar"}, {u"fa", u"en"},
        {u"en", u"fa"}, {u"it", u"en"}, {u"de", u"en"},
    };
    const std::string body = "caf\xC3\xA9 \xF0\x9F\x98\x80";
    for (const auto& [source, target] : pairs) {
        const std::string path = PipelinePath(source, target);
        SCOPED_TRACE(path);
        NoHandleLeft guard;
        ASSERT_TRUE(PostToBackend(path, body).has_value());
        const test_backend::RecordedRequest request = pointed.backend.Requests().back();
        EXPECT_EQ(request.requestLine, "POST /" + path + " HTTP/1.0");
        EXPECT_EQ(request.Header("Host"), pointed.Address());
        EXPECT_EQ(request.Header("Content-Type"), "text/xml; charset=utf-8");
        EXPECT_EQ(request.Header("Content-Length"), std::to_string(body.size()));
        EXPECT_EQ(request.Header("User-Agent"), kBackendUserAgent);
        EXPECT_FALSE(request.Header("Proxy-Authorization").has_value());
        EXPECT_EQ(request.body, body);
    }
    EXPECT_EQ(pointed.backend.RequestCount(), 6u);
}

TEST(HttpTransport, BodyBytesGoOutUnchanged) {
    PointedBackend pointed;
    // Small bodies leave with the head in one write, large ones after it.
    const std::string bodies[] = {"",
                                  std::string("a\0b", 3),
                                  "\xFF\xFE",
                                  "line\r\nnext",
                                  std::string(65536, 'x'),
                                  std::string(65537, 'y'),
                                  std::string(100000, 'z')};
    for (const std::string& body : bodies) {
        NoHandleLeft guard;
        ASSERT_TRUE(PostToBackend(kGermanPath, body).has_value());
        const test_backend::RecordedRequest request = pointed.backend.Requests().back();
        EXPECT_EQ(request.body, body);
        EXPECT_EQ(request.Header("Content-Length"), std::to_string(body.size()));
    }
}

// The read loop takes 10000 bytes at a time; sizes around that step and
// its multiples must all come back whole.
TEST(HttpTransport, ReadsWholeAnswersOfEverySize) {
    PointedBackend pointed;
    const std::size_t sizes[] = {0, 1, 4999, 5000, 5001, 9999, 10000, 10001, 20000, 250001};
    for (std::size_t size : sizes) {
        std::string answer(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            answer[i] = static_cast<char>('a' + i % 26);
        }
        pointed.backend.SetCannedAnswer(answer);
        NoHandleLeft guard;
        std::optional<std::string> got = PostToBackend(kGermanPath, "x");
        ASSERT_TRUE(got.has_value()) << size;
        EXPECT_EQ(*got, answer) << size;
    }
}

// An error status is a failed exchange whose message carries the status
// line; the page itself is never taken as an answer.
TEST(HttpTransport, ErrorStatusFailsTheExchange) {
    PointedBackend pointed(Fault::ErrorStatus);
    NoHandleLeft guard;
    const std::string prefix = "The translation back end at " + pointed.Address() + " answered ";
    EXPECT_EQ(FailureOf(kGermanPath, "Haus"), prefix + "500 Internal Server Error.");
    pointed.backend.SetFault(Fault::TooLarge);
    EXPECT_EQ(FailureOf(kGermanPath, "Haus"), prefix + "413 Payload Too Large.");
    pointed.backend.SetFault(Fault::None);
    EXPECT_EQ(FailureOf("fcgiDispatch.xx", "Haus"), prefix + "404 Not Found.");
}

TEST(HttpTransport, SlowButSteadyAnswerIsReadWhole) {
    PointedBackend pointed(Fault::SlowTrickle);
    pointed.backend.SetTricklePauseMs(30);
    NoHandleLeft guard;
    EXPECT_EQ(PostToBackend(kGermanPath, "Hallo Welt Haus"), "hello world house");
}

TEST(HttpTransport, ZeroByteAndInvalidUtf8AreLeftToTheDecoder) {
    PointedBackend pointed(Fault::NulInBody);
    EXPECT_EQ(PostToBackend(kGermanPath, "Haus"),
              "house" + std::string(1, '\0') + std::string(test_backend::kNulTail));
    pointed.backend.SetFault(Fault::InvalidUtf8);
    EXPECT_EQ(PostToBackend(kGermanPath, "Haus"), std::string(test_backend::kInvalidUtf8Body));
}

// Every way an exchange can fail for good names the back end in the message.
TEST(HttpTransport, FailedExchangesThrowNamingTheBackEnd) {
    struct Case {
        Fault fault;
        TransportTimeouts limits;
        std::string expected;  // part of the message
    };
    const Case cases[] = {
        {Fault::NotListening, kTestTimeouts, "did not answer"},
        {Fault::NoAnswer, kShortReceiveTimeouts, "did not answer"},
        {Fault::ResetMidBody, kTestTimeouts, "was cut short"},
        {Fault::ShortBody, kTestTimeouts, "was cut short"},
        {Fault::HugeBody, kTestTimeouts,
         "is larger than " + std::to_string(kMaxAnswerBytes) + " bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(test_backend::FaultName(c.fault)));
        PointedBackend pointed(c.fault, c.limits);
        NoHandleLeft guard;
        const std::string message = FailureOf(kGermanPath, "Hallo Welt");
        EXPECT_NE(message.find("translation back end at " + pointed.Address()), std::string::npos)
            << message;
        EXPECT_NE(message.find(c.expected), std::string::npos) << message;
        if (c.fault != Fault::NotListening) {
            EXPECT_EQ(pointed.backend.RequestCount(), 1u);
        }
    }
}

TEST(HttpTransport, ShortBodyReportsWhatArrived) {
    PointedBackend pointed(Fault::ShortBody);
    EXPECT_NE(FailureOf(kGermanPath, "Hallo Welt").find("(11 of 27 bytes)"), std::string::npos);
}

TEST(HttpTransport, ConnectionCarriesTheTimeLimits) {
    PointedBackend pointed(Fault::None, {1111, 2222, 3333});
    InternetHandle internet;
    InternetHandle connection;
    InternetHandle request;
    ASSERT_TRUE(OpenSession(internet));
    ASSERT_TRUE(OpenRequest(internet.get(), connection, request, kGermanPath));
    const DWORD options[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                             INTERNET_OPTION_RECEIVE_TIMEOUT};
    const DWORD expected[] = {1111, 2222, 3333};
    for (int i = 0; i < 3; ++i) {
        DWORD value = 0;
        DWORD size = sizeof value;
        ASSERT_TRUE(InternetQueryOptionA(connection.get(), options[i], &value, &size)) << i;
        EXPECT_EQ(value, expected[i]) << i;
    }
    // A session already held is kept, not replaced.
    const HINTERNET held = internet.get();
    EXPECT_TRUE(OpenSession(internet));
    EXPECT_EQ(internet.get(), held);
}

TEST(HttpTransport, DefaultsAreTheFixedPortAndLimits) {
    SetBackendPortForTesting(0);
    SetBackendTimeoutsForTesting({});
    EXPECT_EQ(BackendPort(), 11000);
    EXPECT_EQ(BackendAddress(), "localhost:11000");
    const TransportTimeouts limits = BackendTimeouts();
    EXPECT_EQ(limits.connectMs, 60000u);
    EXPECT_EQ(limits.sendMs, 30000u);
    EXPECT_EQ(limits.receiveMs, 30000u);
}

#ifndef _WIN32
// The proxy-authentication retry. Natively a 407 fails the send, the first
// retry runs without asking and the dialog answers "cancel" unless told otherwise.
class ProxyAuthentication : public ::testing::Test {
  protected:
    void TearDown() override { SetInternetErrorDlgResultForTesting(ERROR_CANCELLED); }
};

TEST_F(ProxyAuthentication, OneDemandIsRetriedAtOnceWithoutDialog) {
    PointedBackend pointed(Fault::ProxyAuthOnce);
    const unsigned dialogs = InternetErrorDlgCallCountForTesting();
    NoHandleLeft guard;
    EXPECT_EQ(PostToBackend(kGermanPath, "Hallo Welt"), "hello world");
    EXPECT_EQ(pointed.backend.RequestCount(), 2u);
    EXPECT_EQ(InternetErrorDlgCallCountForTesting(), dialogs);
    const auto requests = pointed.backend.Requests();
    EXPECT_EQ(requests[0].body, requests[1].body);
}

TEST_F(ProxyAuthentication, SecondDemandAsksAndCancelEndsTheExchange) {
    PointedBackend pointed(Fault::ProxyAuthAlways);
    const unsigned dialogs = InternetErrorDlgCallCountForTesting();
    NoHandleLeft guard;
    const std::string message = FailureOf(kGermanPath, "Hallo");
    EXPECT_NE(message.find("did not answer (error 12014)"), std::string::npos) << message;
    EXPECT_EQ(pointed.backend.RequestCount(), 2u);
    EXPECT_EQ(InternetErrorDlgCallCountForTesting(), dialogs + 1);
}

TEST_F(ProxyAuthentication, RetryChosenInTheDialogStillSendsThreeTimesAtMost) {
    PointedBackend pointed(Fault::ProxyAuthAlways);
    SetInternetErrorDlgResultForTesting(ERROR_INTERNET_FORCE_RETRY);
    const unsigned dialogs = InternetErrorDlgCallCountForTesting();
    NoHandleLeft guard;
    EXPECT_NE(FailureOf(kGermanPath, "Hallo"), "");
    EXPECT_EQ(pointed.backend.RequestCount(), 3u);
    EXPECT_EQ(InternetErrorDlgCallCountForTesting(), dialogs + 1);
}
#else
// The system client completes a send answered with 407; the engine still
// takes it as a demand for credentials and retries, as natively.
TEST(ProxyAuthentication, OneDemandIsRetriedAtOnce) {
    PointedBackend pointed(Fault::ProxyAuthOnce);
    EXPECT_EQ(PostToBackend(kGermanPath, "Hallo Welt"), "hello world");
    EXPECT_EQ(pointed.backend.RequestCount(), 2u);
}

TEST(ProxyAuthentication, DemandsThatNeverEndAreAFailedExchange) {
    PointedBackend pointed(Fault::ProxyAuthAlways);
    EXPECT_NE(FailureOf(kGermanPath, "Hallo"), "");
    EXPECT_GE(pointed.backend.RequestCount(), 2u);
    EXPECT_LE(pointed.backend.RequestCount(), 3u);
}
#endif

}  // namespace
