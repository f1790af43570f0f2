#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "backend/hybrid_client.h"
#include "backend/translation_options.h"
#include "jobs/dravik_engine_translation_thread.h"
#include "jobs/fault_injection.h"
#include "jobs/translate_call.h"
#include "platform/unique_bstr.h"
#include "tests/jobs/host_fakes.h"
#include "tests/jobs/job_probes.h"

using namespace jobs_test;

namespace {

using Log = std::vector<std::string>;

// What the back-end client answers for a chunk under these options; for
// options without a supported pair no request is made.
std::string ExpectedMarkup(const std::u16string& options, const std::u16string& chunk) {
    TranslationOptions parsed;
    parsed.SetFromText(options);
    HybridClient client(parsed);
    return Printable(client.TranslateSegment(chunk));
}

}  // namespace

TEST(DravikJob, OptionsWithoutALanguagePairAnswerEveryChunkWithTheUnsupportedPairMarkup) {
    const std::u16string options = u"<t:Option Name=\"UILanguage\">en</t:Option>";
    CallLog log;
    auto source = Hold(new FakeSource("src", log, {{S_OK, u"Hallo"}, {S_OK, u"a<b"}, {S_OK, u""}}));
    auto sink = Hold(new FakeSink("sink", log));
    auto* job = new DravikEngineTranslationThread(options, source.get(), sink.get());
    EXPECT_EQ(RunToEnd(job), ThreadState::Finished);

    const std::string first = ExpectedMarkup(options, u"Hallo");
    EXPECT_NE(first.find("<Errors>"), std::string::npos);
    EXPECT_NE(first.find("<Translation>Hallo</Translation>"), std::string::npos);
    EXPECT_EQ(log.Entries(), (Log{"src:read", "sink:write:" + first, "src:read",
                                  "sink:write:" + ExpectedMarkup(options, u"a<b"), "src:read",
                                  "sink:complete:1"}));
}

TEST(DravikJob, NullOrEmptyOptionsStillRunAJob) {
    for (const bool null : {true, false}) {
        SCOPED_TRACE(null ? "null options" : "empty options");
        CallLog log;
        auto source = Hold(new FakeSource("src", log, {{S_OK, u"x"}}));
        auto sink = Hold(new FakeSink("sink", log));
        UniqueBstr options = null ? UniqueBstr() : CopyToBstr(u"");
        EXPECT_EQ(RunTranslationJob(options.get(), source.get(), sink.get()), S_OK);
        EXPECT_EQ(log.Entries(), (Log{"src:read", "sink:write:" + ExpectedMarkup(u"", u"x"),
                                      "src:read", "sink:complete:1"}));
    }
}

// Without its back-end client a job reads nothing, but the host is told that
// the job failed instead of being left waiting for an end.
TEST(DravikJob, ClientThatCannotBeCreatedEndsTheJobWithCompleteZero) {
    CallLog log;
    auto source = Hold(new FakeSource("src", log, {{S_OK, u"a"}}));
    auto sink = Hold(new FakeSink("sink", log));
    InjectFault(InjectedFault::ClientCreation);
    EXPECT_EQ(RunToEnd(new DravikEngineTranslationThread(u"", source.get(), sink.get())),
              ThreadState::Failed);
    EXPECT_EQ(log.Entries(), Log{"sink:complete:0"});

    // The lock was not left held: the next job runs.
    CallLog next;
    auto nextSource = Hold(new FakeSource("src", next, {}));
    auto nextSink = Hold(new FakeSink("sink", next));
    EXPECT_EQ(RunTranslationJob(nullptr, nextSource.get(), nextSink.get()), S_OK);
    EXPECT_EQ(next.Entries(), (Log{"src:read", "sink:complete:1"}));
}

TEST(DravikJob, AFailedJobReleasesTheLockForTheNext) {
    CallLog log;
    auto source = Hold(new FakeSource("first", log, {{S_OK, u"a"}}));
    auto sink = Hold(new FakeSink("first", log, 0));
    EXPECT_EQ(RunTranslationJob(nullptr, source.get(), sink.get()), S_OK);
    auto nextSource = Hold(new FakeSource("second", log, {}));
    auto nextSink = Hold(new FakeSink("second", log));
    EXPECT_EQ(RunTranslationJob(nullptr, nextSource.get(), nextSink.get()), S_OK);
    EXPECT_EQ(log.IndexOf("second:complete:1"), static_cast<int>(log.Entries().size()) - 1);
}

// The first job is held inside its first read while the second is started.
// The second must not read before the first has completed. (Should the lock
// not serialise the jobs, the second read shows up during the pause.)
TEST(DravikJob, TwoJobsStartedAtOnceRunOneAfterTheOther) {
    CallLog log;
    UniqueHandle firstReading = ManualEvent();
    UniqueHandle secondRead = ManualEvent();
    std::atomic<bool> firstCompleted{false};
    std::atomic<bool> secondReadEarly{false};

    auto firstSource = Hold(new FakeSource("first", log, {{S_OK, u"a"}, {S_OK, u"b"}}));
    firstSource->beforeRead = [&](int index) {
        if (index == 0) {
            SetEvent(firstReading.get());
            WaitForSingleObject(secondRead.get(), 300);  // expected to time out
        }
    };
    auto firstSink = Hold(new FakeSink("first", log));
    firstSink->onComplete = [&] { firstCompleted = true; };

    auto secondSource = Hold(new FakeSource("second", log, {{S_OK, u"c"}}));
    secondSource->beforeRead = [&](int index) {
        if (index == 0) {
            secondReadEarly = !firstCompleted;
            SetEvent(secondRead.get());
        }
    };
    auto secondSink = Hold(new FakeSink("second", log));

    HRESULT firstResult = E_UNEXPECTED;
    std::thread firstCaller(
        [&] { firstResult = RunTranslationJob(nullptr, firstSource.get(), firstSink.get()); });
    ASSERT_EQ(WaitForSingleObject(firstReading.get(), kGuardMs), WAIT_OBJECT_0);
    HRESULT secondResult = E_UNEXPECTED;
    std::thread secondCaller(
        [&] { secondResult = RunTranslationJob(nullptr, secondSource.get(), secondSink.get()); });
    firstCaller.join();
    secondCaller.join();

    EXPECT_EQ(firstResult, S_OK);
    EXPECT_EQ(secondResult, S_OK);
    EXPECT_FALSE(secondReadEarly);
    const int firstComplete = log.IndexOf("first:complete:1");
    const int secondFirstRead = log.IndexOf("second:read");
    ASSERT_GE(firstComplete, 0);
    ASSERT_GE(secondFirstRead, 0);
    EXPECT_LT(firstComplete, secondFirstRead);
    EXPECT_GE(log.IndexOf("second:complete:1"), 0);
}
