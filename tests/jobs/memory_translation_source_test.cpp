#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/memory_translation_source.h"
#include "platform/com_ptr.h"
#include "platform/unique_bstr.h"
#include "platform/wide.h"
#include "tests/jobs/host_fakes.h"

using namespace jobs_test;

namespace {

struct Answer {
    HRESULT result;
    std::u16string text;  // whole BSTR, NULs included
    bool null;
};

Answer ReadFrom(MemoryTranslationSource& source) {
    BSTR raw = reinterpret_cast<BSTR>(&source);  // must be overwritten
    const HRESULT result = source.ReadChunk(&raw);
    UniqueBstr chunk(raw);
    return {result, FromPlatform(chunk.get(), SysStringLen(chunk.get())), chunk.get() == nullptr};
}

}  // namespace

TEST(MemoryTranslationSource, HandsOutEachTextWholeThenTheEndOfInput) {
    struct Case {
        const char* name;
        std::vector<std::u16string> texts;
        std::vector<Answer> reads;
    };
    const std::u16string withNul(u"a\0b", 3);
    const Case cases[] = {
        {"one text, then empty strings for ever",
         {u"Hallo Welt"},
         {{S_OK, u"Hallo Welt", false}, {S_OK, u"", false}, {S_OK, u"", false}}},
        {"no text at all", {}, {{S_OK, u"", false}}},
        {"empty text: the first read fails", {u""}, {{E_FAIL, u"", true}, {E_FAIL, u"", true}}},
        {"text, then empty text: reading past it fails",
         {u"x", u""},
         {{S_OK, u"x", false}, {E_FAIL, u"", true}}},
        {"two texts in order", {u"one", u"two"}, {{S_OK, u"one", false}, {S_OK, u"two", false}}},
        {"a NUL stays in the chunk", {withNul}, {{S_OK, withNul, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto source = Hold(new MemoryTranslationSource());
        for (const auto& text : c.texts) {
            source->SetText(text);
        }
        for (const Answer& expected : c.reads) {
            const Answer got = ReadFrom(*source.get());
            EXPECT_EQ(got.result, expected.result);
            EXPECT_EQ(Printable(got.text), Printable(expected.text));
            EXPECT_EQ(got.null, expected.null);
        }
    }
}

TEST(MemoryTranslationSource, NeverSplitsALongText) {
    const std::u16string longText(200000, u'w');
    auto source = Hold(new MemoryTranslationSource());
    source->SetText(longText);
    const Answer first = ReadFrom(*source.get());
    EXPECT_EQ(first.text.size(), longText.size());
    EXPECT_EQ(ReadFrom(*source.get()).text, u"");
}

TEST(MemoryTranslationSource, RefusesANullOutput) {
    auto source = Hold(new MemoryTranslationSource());
    source->SetText(u"x");
    EXPECT_EQ(source->ReadChunk(nullptr), E_FAIL);
    EXPECT_EQ(ReadFrom(*source.get()).text, u"x");  // nothing was consumed
}

TEST(MemoryTranslationSource, AnswersItsThreeInterfacesOnly) {
    // The count starts at 0: the first query takes the first reference.
    auto* object = new MemoryTranslationSource();
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
    EXPECT_EQ(ReferencesOf(unknown.get()), 1u);

    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(object->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
    ComPtr<ITranslationSource> source;
    EXPECT_EQ(object->QueryInterface(IID_ITranslationSource, source.put_void()), S_OK);
    EXPECT_EQ(ReferencesOf(unknown.get()), 3u);

    void* sink = &sink;
    EXPECT_EQ(object->QueryInterface(IID_ITranslationSink, &sink), E_NOINTERFACE);
    EXPECT_EQ(sink, nullptr);
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    UINT count = 7;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(dispatch->GetTypeInfoCount(nullptr), E_POINTER);
}
