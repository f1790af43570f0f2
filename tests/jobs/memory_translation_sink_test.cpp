#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/memory_translation_sink.h"
#include "jobs/signal_event.h"
#include "platform/com_ptr.h"
#include "platform/unique_bstr.h"
#include "platform/wide.h"
#include "tests/jobs/host_fakes.h"

using namespace jobs_test;

namespace {

std::u16string Take(MemoryTranslationSink& sink, HRESULT expected = S_OK) {
    BSTR raw = nullptr;
    EXPECT_EQ(sink.TakeResult(&raw), expected);
    UniqueBstr result(raw);
    EXPECT_NE(result.get(), nullptr);
    return FromPlatform(result.get(), SysStringLen(result.get()));
}

}  // namespace

TEST(MemoryTranslationSink, GathersEveryChunkUpToItsNulAndTakeEmptiesIt) {
    auto sink = Hold(new MemoryTranslationSink(nullptr));
    EXPECT_EQ(Take(*sink.get()), u"");
    EXPECT_EQ(sink->WriteChunk(CopyToBstr(u"<a/>\n").get()), S_OK);
    EXPECT_EQ(sink->WriteChunk(nullptr), S_OK);
    EXPECT_EQ(sink->WriteChunk(CopyToBstr(std::u16string(u"b\0hidden", 8)).get()), S_OK);
    EXPECT_EQ(sink->WriteChunk(CopyToBstr(u"").get()), S_OK);
    EXPECT_EQ(Take(*sink.get()), u"<a/>\nb");
    EXPECT_EQ(Take(*sink.get()), u"");
    EXPECT_EQ(sink->TakeResult(nullptr), E_POINTER);
}

// A lone chunk is kept apart from later ones; whatever the number of chunks,
// each is cut at its NUL, they come back in order, and a take starts afresh.
TEST(MemoryTranslationSink, OneChunkOrSeveralComeBackTheSameWay) {
    struct Case {
        std::vector<std::u16string> chunks;
        std::u16string expected;
    };
    const Case cases[] = {
        {{u"only"}, u"only"},
        {{std::u16string(u"cut\0off", 7)}, u"cut"},
        {{u""}, u""},
        {{u"", u"second"}, u"second"},
        {{u"one", u""}, u"one"},
        {{u"a", u"b", u"c"}, u"abc"},
        {{std::u16string(100000, u'x'), u"y"}, std::u16string(100000, u'x') + u"y"},
    };
    auto sink = Hold(new MemoryTranslationSink(nullptr));
    for (const Case& c : cases) {
        for (int round = 0; round < 2; ++round) {
            for (const std::u16string& chunk : c.chunks) {
                ASSERT_EQ(sink->WriteChunk(CopyToBstr(chunk).get()), S_OK);
            }
            EXPECT_EQ(Take(*sink.get()), c.expected) << c.chunks.size() << " round " << round;
            EXPECT_EQ(Take(*sink.get()), u"");
        }
    }
}

TEST(MemoryTranslationSink, CompleteSignalsTheEventWhateverTheFlag) {
    for (const int flag : {0, 1}) {
        SCOPED_TRACE(flag);
        SignalEvent completion;
        auto sink = Hold(new MemoryTranslationSink(completion.Handle()));
        EXPECT_EQ(completion.Wait(0), WAIT_TIMEOUT);
        EXPECT_EQ(sink->Complete(static_cast<unsigned char>(flag)), S_OK);
        EXPECT_EQ(completion.Wait(0), WAIT_OBJECT_0);
        EXPECT_EQ(completion.Wait(0), WAIT_TIMEOUT);  // one signal per completion
    }
}

TEST(MemoryTranslationSink, CompleteWithoutAnEventIsAnInvalidArgument) {
    auto sink = Hold(new MemoryTranslationSink(nullptr));
    EXPECT_EQ(sink->Complete(1), E_INVALIDARG);
}

TEST(MemoryTranslationSink, AnswersItsThreeInterfacesOnly) {
    auto sink = Hold(new MemoryTranslationSink(nullptr));
    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_ITranslationSink}) {
        ComPtr<IUnknown> answer;
        EXPECT_EQ(sink->QueryInterface(*iid, answer.put_void()), S_OK);
        EXPECT_NE(answer.get(), nullptr);
    }
    ComPtr<IUnknown> refused;
    EXPECT_EQ(sink->QueryInterface(IID_ITranslationSource, refused.put_void()), E_NOINTERFACE);
    EXPECT_EQ(refused.get(), nullptr);
    EXPECT_EQ(ReferencesOf(sink.get()), 1u);
}
