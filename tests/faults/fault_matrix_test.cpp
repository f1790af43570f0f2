// Whole jobs through the engine object against every misbehaviour of the
// back end: what the host's sink receives, the completion flag, that the job
// ends, that the next job still gets the client lock, and (natively) that no
// Internet handle is left open.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "backend/http_transport.h"
#include "fuzz/support/segment_markup.h"
#include "platform/internet.h"
#include "tests/faults/engine_driver.h"
#include "text/code_pages.h"
#include "tools/backend/test_backend.h"

namespace {

using test_backend::Fault;
using test_backend::TestBackend;

// Two chunks, so that every case also shows the job going on after a bad one.
const std::vector<std::u16string> kChunks = {u"مرحبا عالم", u"كتاب a<b"};
// What the test back end makes of them once its marks are removed.
const std::vector<std::u16string> kTranslations = {u"hello world", u"book a<b"};

enum class Expect {
    Translation,     // each chunk's translation, no error
    ErrorAndSource,  // an Errors element naming the back end, then the source
    Body,            // the answer's text as the translation of every chunk
};

struct FaultCase {
    const char* name;
    Fault fault;  // ignored when nothing is at the port
    Expect expect;
    // Expect::Body: the translation; Expect::ErrorAndSource: part of the message.
    std::u16string text = {};
    bool vacantPort = false;  // no back end at all: nothing holds the port
};

std::string Narrow(const std::u16string& text) {
    return WideToNarrow(text, kCodePageUtf8);
}

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {
  protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    static void TearDownTestSuite() { CoUninitialize(); }

    void TearDown() override {
        SetBackendPortForTesting(0);
        SetBackendTimeoutsForTesting({});
    }

    // A following job against a healthy back end: it can only run if the
    // faulty job gave the client lock back.
    static void ExpectFollowingJobRuns(IQNSTranslationEngine* engine) {
        TestBackend healthy;
        SetBackendPortForTesting(healthy.Port());
        const faults::JobOutcome next =
            faults::RunGuardedJob(engine, faults::PairOptions(u"ar", u"en"), {u"بيت"});
        ASSERT_TRUE(next.ended) << "the client lock was not given back";
        EXPECT_EQ(next.chunks, std::vector<std::u16string>{u"<Translation>house</Translation>\n"});
        EXPECT_EQ(next.completions, std::vector<int>{1});
    }
};

TEST_P(FaultMatrix, JobEndsWithSoundMarkupAndFreesTheClientLock) {
    const FaultCase& c = GetParam();
    std::unique_ptr<TestBackend> backend;
    std::uint16_t port = 0;
    if (c.vacantPort) {
        port = TestBackend().Port();  // free again once the back end is gone
    } else {
        backend = std::make_unique<TestBackend>(0, c.fault);
        port = backend->Port();
        backend->SetTricklePauseMs(5);
    }
    SetBackendPortForTesting(port);
    if (c.fault == Fault::NoAnswer) {
        // Only the wait for the answer is shortened; connecting stays generous.
        SetBackendTimeoutsForTesting({60000, 30000, 2000});
    }

    ComPtr<IQNSTranslationEngine> engine = faults::CreateEngineInProcess();
    ASSERT_TRUE(engine);
    const faults::JobOutcome outcome = faults::RunGuardedJob(
        engine.get(), faults::PairOptions(u"ar", u"en"), kChunks, std::chrono::seconds(240), [&] {
            if (backend) {
                backend->Stop();
            }
        });
    ASSERT_TRUE(outcome.ended) << "the job hung";
    EXPECT_EQ(outcome.result, S_OK);
    EXPECT_EQ(outcome.completions, std::vector<int>{1});
    ASSERT_EQ(outcome.chunks.size(), kChunks.size());

    const std::string backendName = "localhost:" + std::to_string(port);
    for (std::size_t i = 0; i < kChunks.size(); ++i) {
        SCOPED_TRACE("chunk " + std::to_string(i) + ": " + Narrow(outcome.chunks[i]));
        std::string why;
        const std::optional<markup::SegmentMarkup> parsed =
            markup::ParseSegment(outcome.chunks[i], &why);
        ASSERT_TRUE(parsed) << why;
        switch (c.expect) {
            case Expect::Translation:
                EXPECT_FALSE(parsed->hasErrors) << Narrow(parsed->errors);
                EXPECT_EQ(Narrow(parsed->translation), Narrow(kTranslations[i]));
                break;
            case Expect::ErrorAndSource:
                ASSERT_TRUE(parsed->hasErrors);
                EXPECT_NE(Narrow(parsed->errors).find(backendName), std::string::npos)
                    << Narrow(parsed->errors);
                EXPECT_NE(parsed->errors.find(c.text), std::u16string::npos)
                    << Narrow(parsed->errors);
                EXPECT_EQ(Narrow(parsed->translation), Narrow(kChunks[i]));
                break;
            case Expect::Body:
                EXPECT_FALSE(parsed->hasErrors) << Narrow(parsed->errors);
                EXPECT_EQ(Narrow(parsed->translation), Narrow(c.text));
                break;
        }
    }
    backend.reset();
#ifndef _WIN32
    EXPECT_EQ(OpenInternetHandleCountForTesting(), 0u);
#endif
    ExpectFollowingJobRuns(engine.get());
}

// Names the case in failure reports instead of dumping its bytes.
void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

const FaultCase kCases[] = {
    {"Down", Fault::None, Expect::ErrorAndSource, {}, true},
    {"Refused", Fault::NotListening, Expect::ErrorAndSource},
    {"Hang", Fault::NoAnswer, Expect::ErrorAndSource},
    {"SlowTrickle", Fault::SlowTrickle, Expect::Translation},
    {"ResetMidBody", Fault::ResetMidBody, Expect::ErrorAndSource},
    // A proxy demand is answered once with the credentials at hand; the send
    // is then repeated and the chunk translated.
    {"ProxyAuthOnce", Fault::ProxyAuthOnce, Expect::Translation},
    // A proxy that never lets the request through is a failed exchange, not
    // a translation reading "Proxy authentication required".
    {"ProxyAuthAlways", Fault::ProxyAuthAlways, Expect::ErrorAndSource},
    // An error page is the back end's complaint, never the translation.
    {"ErrorStatus", Fault::ErrorStatus, Expect::ErrorAndSource, u"500 Internal Server Error"},
    {"TooLarge", Fault::TooLarge, Expect::ErrorAndSource, u"413 Payload Too Large"},
    {"HugeBody", Fault::HugeBody, Expect::ErrorAndSource},
    // The answer ends at its first zero character.
    {"NulInBody", Fault::NulInBody, Expect::Translation},
    // Undecodable bytes decode arithmetically; the lone 0x80 becomes U+0080
    // (escaped as a reference) and the unfinished last sequence is dropped.
    {"InvalidUtf8", Fault::InvalidUtf8, Expect::Body, u"bad \u0080 byte "},
    {"ShortBody", Fault::ShortBody, Expect::ErrorAndSource},
};

INSTANTIATE_TEST_SUITE_P(BackendFaults, FaultMatrix, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
