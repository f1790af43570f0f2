#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "backend/http_transport.h"
#include "jobs/fault_injection.h"
#include "jobs/translate_call.h"
#include "platform/com_ptr.h"
#include "platform/unique_bstr.h"
#include "platform/wide.h"
#include "tests/jobs/host_fakes.h"
#include "tests/jobs/job_probes.h"
#include "text/exceptions.h"
#include "tools/backend/test_backend.h"

using namespace jobs_test;

namespace {

struct TextResult {
    HRESULT result;
    std::u16string text;
    bool null;
};

TextResult TranslateText(const TranslateCall& translate, const std::u16string& options,
                         BSTR source) {
    const UniqueBstr optionsText = CopyToBstr(options);
    BSTR raw = reinterpret_cast<BSTR>(&raw);  // must be overwritten
    const HRESULT result = RunTranslateText(translate, optionsText.get(), source, &raw);
    UniqueBstr translation(raw);
    return {result, FromPlatform(translation.get(), SysStringLen(translation.get())),
            translation.get() == nullptr};
}

TextResult TranslateText(const TranslateCall& translate, const std::u16string& source) {
    const UniqueBstr sourceText = CopyToBstr(source);
    return TranslateText(translate, u"", sourceText.get());
}

// Translate over the echo job loop, counting TranslateSegment calls.
TranslateCall EchoTranslate(std::atomic<int>& translations) {
    return [&translations](BSTR, IDispatch* source, IDispatch* sink) {
        return RunJob([&]() -> OLECallThread* { return new EchoJob(source, sink, &translations); });
    };
}

// Writes some markup and ends without telling the sink anything more.
class SilentJob final : public OLECallThread {
  public:
    explicit SilentJob(IDispatch* sink) : OLECallThread(INFINITE) {
        sink->QueryInterface(IID_ITranslationSink, sink_.put_void());
    }
    void Run() override { sink_->WriteChunk(CopyToBstr(u"partial").get()); }

  private:
    ComPtr<ITranslationSink> sink_;
};

const std::u16string kGermanToEnglish =
    u"<t:Option Name=\"SourceLanguage\">de</t:Option>"
    u"<t:Option Name=\"TranslationLanguage\">en</t:Option>";

}  // namespace

TEST(RunJob, AJobThatCannotBeBuiltGivesAFailureCode) {
    struct Case {
        const char* name;
        std::function<OLECallThread*()> factory;
        HRESULT expected;
    };
    const Case cases[] = {
        {"failure code", []() -> OLECallThread* { throw HResultException(E_ACCESSDENIED); },
         E_ACCESSDENIED},
        {"success code raised", []() -> OLECallThread* { throw HResultException(S_FALSE); },
         E_FAIL},
        {"out of memory", []() -> OLECallThread* { throw std::bad_alloc(); }, E_OUTOFMEMORY},
        {"engine error", []() -> OLECallThread* { throw StringException("no"); }, E_FAIL},
        {"foreign error", []() -> OLECallThread* { throw std::runtime_error("no"); }, E_FAIL},
        {"no job", []() -> OLECallThread* { return nullptr; }, E_FAIL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RunJob(c.factory), c.expected);
    }
}

TEST(RunTranslationJob, NoWorkerOrEventMeansAFailureAndNoCallOnTheHost) {
    // A failed system call answers with its status.
    const std::pair<InjectedFault, HRESULT> cases[] = {
        {InjectedFault::ThreadCreation, E_FAIL},
        {InjectedFault::EventCreation, HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY)},
    };
    for (const auto& [fault, expected] : cases) {
        CallLog log;
        auto source = Hold(new FakeSource("src", log, {{S_OK, u"a"}}));
        auto sink = Hold(new FakeSink("sink", log));
        InjectFault(fault);
        EXPECT_EQ(RunTranslationJob(nullptr, source.get(), sink.get()), expected);
        EXPECT_TRUE(log.Entries().empty());
        EXPECT_EQ(ReferencesOf(source.get()), 1u);
        EXPECT_EQ(ReferencesOf(sink.get()), 1u);
    }
}

// The worker lets the host's objects go before it signals the end of the job,
// so nothing of the host is held once Translate has returned, whichever side
// drops the job last.
TEST(RunTranslationJob, HostObjectsAreReleasedBeforeTranslateReturns) {
    for (int round = 0; round < 20; ++round) {
        CallLog log;
        auto source = Hold(new FakeSource("src", log, {{S_OK, u"a"}}));
        auto sink = Hold(new FakeSink("sink", log));
        EXPECT_EQ(RunTranslationJob(nullptr, source.get(), sink.get()), S_OK);
        EXPECT_EQ(ReferencesOf(source.get()), 1u);
        EXPECT_EQ(ReferencesOf(sink.get()), 1u);
    }
}

TEST(RunTranslateText, OneTextIsOneChunk) {
    struct Case {
        const char* name;
        std::u16string source;
        std::u16string expected;
        int translations;
    };
    const Case cases[] = {
        {"one word", u"Hallo", u"[Hallo]", 1},
        {"empty text: nothing is translated", u"", u"", 0},
        {"cut at the first NUL", std::u16string(u"a\0b", 3), u"[a]", 1},
        {"nothing but a NUL", std::u16string(u"\0b", 2), u"", 0},
        {"several lines stay together", u"one\ntwo\nthree", u"[one\ntwo\nthree]", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<int> translations{0};
        const TextResult result = TranslateText(EchoTranslate(translations), c.source);
        EXPECT_EQ(result.result, S_OK);
        EXPECT_EQ(Printable(result.text), Printable(c.expected));
        EXPECT_FALSE(result.null);
        EXPECT_EQ(translations, c.translations);
    }
}

TEST(RunTranslateText, NullSourceIsTheEmptyText) {
    std::atomic<int> translations{0};
    const TextResult result = TranslateText(EchoTranslate(translations), u"", nullptr);
    EXPECT_EQ(result.result, S_OK);
    EXPECT_EQ(result.text, u"");
    EXPECT_EQ(translations, 0);
}

TEST(RunTranslateText, AFailedJobStillReturnsWhatWasGathered) {
    std::atomic<int> translations{0};
    const TextResult result = TranslateText(EchoTranslate(translations), u"boom");
    EXPECT_EQ(result.result, S_OK);
    EXPECT_EQ(result.text, u"");
}

// Jobs that end without Complete must not leave TranslateText waiting.
TEST(RunTranslateText, NeverWaitsForACompletionThatDoesNotCome) {
    struct Case {
        const char* name;
        TranslateCall translate;
        std::u16string expected;
    };
    const Case cases[] = {
        {"job ends without Complete",
         [](BSTR, IDispatch*, IDispatch* sink) {
             return RunJob([&]() -> OLECallThread* { return new SilentJob(sink); });
         },
         u"partial"},
        {"Translate runs no job at all", [](BSTR, IDispatch*, IDispatch*) { return S_OK; }, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TextResult result = TranslateText(c.translate, u"text");
        EXPECT_EQ(result.result, S_OK);
        EXPECT_EQ(result.text, c.expected);
    }
}

TEST(RunTranslateText, ReportsWhatKeptTheJobFromRunning) {
    const TextResult failed =
        TranslateText([](BSTR, IDispatch*, IDispatch*) { return E_OUTOFMEMORY; }, u"text");
    EXPECT_EQ(failed.result, E_OUTOFMEMORY);
    EXPECT_TRUE(failed.null);

    std::atomic<int> translations{0};
    InjectFault(InjectedFault::ThreadCreation);
    EXPECT_EQ(TranslateText(EchoTranslate(translations), u"text").result, E_FAIL);

    bool called = false;
    const TranslateCall spy = [&called](BSTR, IDispatch*, IDispatch*) {
        called = true;
        return S_OK;
    };
    InjectFault(InjectedFault::EventCreation);
    const TextResult noEvent = TranslateText(spy, u"text");
    EXPECT_EQ(noEvent.result, HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(noEvent.null);
    EXPECT_FALSE(called);

    EXPECT_EQ(RunTranslateText(spy, nullptr, nullptr, nullptr), E_POINTER);
    EXPECT_FALSE(called);
}

TEST(RunTranslateText, HandsTranslateTheOptionsAndObjectsOfferingTheHostInterfaces) {
    struct Engine {
        HRESULT Translate(BSTR options, IDispatch* source, IDispatch* sink) {
            seenOptions = TextUpToNul(options);
            ComPtr<ITranslationSource> from;
            ComPtr<ITranslationSink> to;
            offered = SUCCEEDED(source->QueryInterface(IID_ITranslationSource, from.put_void())) &&
                      SUCCEEDED(sink->QueryInterface(IID_ITranslationSink, to.put_void()));
            return S_OK;
        }
        std::u16string seenOptions;
        bool offered = false;
    };
    Engine engine;
    const UniqueBstr options = CopyToBstr(kGermanToEnglish);
    const UniqueBstr source = CopyToBstr(u"x");
    UniqueBstr translation;
    EXPECT_EQ(RunTranslateText(&engine, options.get(), source.get(), translation.put()), S_OK);
    EXPECT_EQ(engine.seenOptions, kGermanToEnglish);
    EXPECT_TRUE(engine.offered);
}

// Through the real job and back-end client against the loopback test back end.
class TranslateTextThroughTheBackEnd : public testing::Test {
  protected:
    void SetUp() override { SetBackendPortForTesting(backend_.Port()); }
    void TearDown() override { SetBackendPortForTesting(0); }

    TextResult Translate(const std::u16string& options, const std::u16string& text) {
        const UniqueBstr source = CopyToBstr(text);
        return TranslateText(&RunTranslationJob, options, source.get());
    }

    test_backend::TestBackend backend_;
};

TEST_F(TranslateTextThroughTheBackEnd, OneWordGivesOneTranslationElementAndALineFeed) {
    const TextResult result = Translate(kGermanToEnglish, u"Hallo");
    EXPECT_EQ(result.result, S_OK);
    EXPECT_EQ(result.text, u"<Translation>hello</Translation>\n");
    EXPECT_EQ(backend_.RequestCount(), 1u);
}

TEST_F(TranslateTextThroughTheBackEnd, EmptyTextMakesNoRequest) {
    const TextResult result = Translate(kGermanToEnglish, u"");
    EXPECT_EQ(result.result, S_OK);
    EXPECT_EQ(result.text, u"");
    EXPECT_EQ(backend_.RequestCount(), 0u);
}

TEST_F(TranslateTextThroughTheBackEnd, UnsupportedPairGivesErrorsThenTheEscapedSource) {
    const TextResult result = Translate(
        u"<t:Option Name=\"SourceLanguage\">fr</t:Option>"
        u"<t:Option Name=\"TranslationLanguage\">en</t:Option>",
        u"a < b");
    EXPECT_EQ(result.result, S_OK);
    const std::u16string tail = u"<Translation>a &lt; b</Translation>\n";
    EXPECT_EQ(result.text.rfind(u"<Errors>", 0), 0u) << Printable(result.text);
    ASSERT_GE(result.text.size(), tail.size());
    EXPECT_EQ(result.text.substr(result.text.size() - tail.size()), tail);
    EXPECT_EQ(backend_.RequestCount(), 0u);
}

TEST_F(TranslateTextThroughTheBackEnd, LongTextGoesOutAsOneRequest) {
    std::u16string text;
    for (int i = 0; i < 4000; ++i) {
        text += u"hallo welt ";
    }
    const TextResult result = Translate(kGermanToEnglish, text);
    EXPECT_EQ(result.result, S_OK);
    ASSERT_EQ(backend_.RequestCount(), 1u);
    EXPECT_EQ(backend_.Requests()[0].body.size(), text.size());
    EXPECT_EQ(result.text.rfind(u"<Translation>hello world hello world", 0), 0u);
}
