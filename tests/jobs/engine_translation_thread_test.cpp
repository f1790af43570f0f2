#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/engine_translation_thread.h"
#include "tests/jobs/host_fakes.h"
#include "tests/jobs/job_probes.h"

using namespace jobs_test;

namespace {

using Log = std::vector<std::string>;

struct LoopCase {
    const char* name;
    std::vector<Read> reads;
    int failWriteAt;
    Log expected;
    ThreadState state;
};

}  // namespace

TEST(JobLoop, ReadsTranslatesWritesAndCompletesInOrder) {
    const HRESULT kReadFailure = static_cast<HRESULT>(0x80030001u);
    const LoopCase cases[] = {
        {"empty first chunk",
         {{S_OK, u""}},
         -1,
         {"src:read", "sink:complete:1"},
         ThreadState::Finished},
        {"null first chunk",
         {{S_OK, u"", true}},
         -1,
         {"src:read", "sink:complete:1"},
         ThreadState::Finished},
        {"three chunks, then empty",
         {{S_OK, u"a"}, {S_OK, u"b"}, {S_OK, u"c"}, {S_OK, u""}},
         -1,
         {"src:read", "sink:write:[a]", "src:read", "sink:write:[b]", "src:read", "sink:write:[c]",
          "src:read", "sink:complete:1"},
         ThreadState::Finished},
        {"second read fails (its text is dropped)",
         {{S_OK, u"a"}, {kReadFailure, u"dropped"}},
         -1,
         {"src:read", "sink:write:[a]", "src:read", "sink:complete:1"},
         ThreadState::Finished},
        {"first write fails",
         {{S_OK, u"a"}, {S_OK, u"b"}},
         0,
         {"src:read", "sink:write:[a]", "sink:complete:0"},
         ThreadState::Failed},
        {"second write fails",
         {{S_OK, u"a"}, {S_OK, u"b"}, {S_OK, u"c"}},
         1,
         {"src:read", "sink:write:[a]", "src:read", "sink:write:[b]", "sink:complete:0"},
         ThreadState::Failed},
        {"chunk cut at its NUL",
         {{S_OK, std::u16string(u"ab\0cd", 5)}},
         -1,
         {"src:read", "sink:write:[ab]", "src:read", "sink:complete:1"},
         ThreadState::Finished},
        {"chunk starting with NUL ends the input",
         {{S_OK, std::u16string(u"\0cd", 3)}},
         -1,
         {"src:read", "sink:complete:1"},
         ThreadState::Finished},
        {"translation raises",
         {{S_OK, u"a"}, {S_OK, u"boom"}, {S_OK, u"c"}},
         -1,
         {"src:read", "sink:write:[a]", "src:read", "sink:complete:0"},
         ThreadState::Failed},
        {"markup passes unchanged",
         {{S_OK, u"<x> & \u00e9"}},
         -1,
         {"src:read", "sink:write:[<x> & \\u00E9]", "src:read", "sink:complete:1"},
         ThreadState::Finished},
    };
    for (const LoopCase& c : cases) {
        SCOPED_TRACE(c.name);
        CallLog log;
        auto source = Hold(new FakeSource("src", log, c.reads));
        auto sink = Hold(new FakeSink("sink", log, c.failWriteAt));
        EXPECT_EQ(RunToEnd(new EchoJob(source.get(), sink.get())), c.state);
        EXPECT_EQ(log.Entries(), c.expected);
        // The job took a reference to each and gave it back.
        EXPECT_EQ(ReferencesOf(source.get()), 1u);
        EXPECT_EQ(ReferencesOf(sink.get()), 1u);
    }
}

TEST(JobLoop, MissingHostInterfaces) {
    struct Case {
        const char* name;
        bool sourceOffered;
        bool sinkOffered;
        bool sinkGiven;
        Log expected;
        ThreadState state;
    };
    const Case cases[] = {
        // A source without ITranslationSource is an input that ends at once.
        {"source refuses", false, true, true, {"sink:complete:1"}, ThreadState::Finished},
        // Without ITranslationSink nothing can be written or completed.
        {"sink refuses", true, false, true, {"src:read"}, ThreadState::Failed},
        {"no sink object", true, false, false, {"src:read"}, ThreadState::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CallLog log;
        auto source = Hold(new FakeSource("src", log, {{S_OK, u"a"}}));
        auto plainSource = Hold(new PlainDispatch());
        auto sink = Hold(new FakeSink("sink", log));
        auto plainSink = Hold(new PlainDispatch());
        IDispatch* sourceArgument = c.sourceOffered ? static_cast<IDispatch*>(source.get())
                                                    : static_cast<IDispatch*>(plainSource.get());
        IDispatch* sinkArgument = !c.sinkGiven    ? nullptr
                                  : c.sinkOffered ? static_cast<IDispatch*>(sink.get())
                                                  : static_cast<IDispatch*>(plainSink.get());
        EXPECT_EQ(RunToEnd(new EchoJob(sourceArgument, sinkArgument)), c.state);
        EXPECT_EQ(log.Entries(), c.expected);
        EXPECT_EQ(ReferencesOf(plainSource.get()), 1u);
        EXPECT_EQ(ReferencesOf(plainSink.get()), 1u);
    }
}

TEST(JobLoop, NullSourceEndsTheInputAtOnce) {
    CallLog log;
    auto sink = Hold(new FakeSink("sink", log));
    EXPECT_EQ(RunToEnd(new EchoJob(nullptr, sink.get())), ThreadState::Finished);
    EXPECT_EQ(log.Entries(), Log{"sink:complete:1"});
}

TEST(JobLoop, HostCallsComeFromTheWorkerThread) {
    CallLog log;
    auto source = Hold(new FakeSource("src", log, {{S_OK, u"a"}}));
    const DWORD creator = GetCurrentThreadId();
    DWORD reader = 0;
    source->beforeRead = [&reader](int) { reader = GetCurrentThreadId(); };
    auto sink = Hold(new FakeSink("sink", log));
    RunToEnd(new EchoJob(source.get(), sink.get()));
    EXPECT_NE(reader, 0u);
    EXPECT_NE(reader, creator);
}

TEST(JobLoop, TheJobReleasesTheSinkThenTheSourceWhenItIsDestroyed) {
    CallLog log;
    auto source = Hold(new FakeSource("src", log, {}));
    auto sink = Hold(new FakeSink("sink", log));
    source->logReleases = true;
    sink->logReleases = true;
    RunToEnd(new EchoJob(source.get(), sink.get()));
    EXPECT_EQ(log.Entries(), (Log{"src:read", "sink:complete:1", "sink:release", "src:release"}));
    source->logReleases = false;
    sink->logReleases = false;
}
