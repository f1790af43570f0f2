#include "bench/engine_harness.h"

#include "platform/wide.h"
#include "server/guids.h"
#include "server/translation_engine.h"

namespace bench {

Apartment::Apartment() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

Apartment::~Apartment() {
    CoUninitialize();
}

ComPtr<IQNSTranslationEngine> CreateEngine() {
    ComPtr<IQNSTranslationEngine> engine;
    if (server::TranslationEngine::Create(kIidIQNSTranslationEngine, engine.put_void()) != S_OK) {
        return {};
    }
    return engine;
}

HRESULT ChunkSource::ReadChunk(BSTR* chunk) {
    if (chunk == nullptr) {
        return E_POINTER;
    }
    const std::u16string_view text =
        next_ < chunks_.size() ? std::u16string_view(chunks_[next_++]) : std::u16string_view();
    *chunk = CopyToBstr(text).release();
    return *chunk != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CountingSink::WriteChunk(BSTR markup) {
    ++chunks_;
    last_ = FromPlatform(markup, SysStringLen(markup));
    return S_OK;
}

HRESULT CountingSink::Complete(unsigned char completed) {
    ++completions_;
    completed_ = completed != 0;
    return S_OK;
}

bool RunJob(IQNSTranslationEngine& engine, BSTR options,
            const std::vector<std::u16string>& chunks) {
    auto* sink = new CountingSink();
    ComPtr<IDispatch> source = ComPtr<IDispatch>::Retain(new ChunkSource(chunks));
    ComPtr<IDispatch> sinkRef = ComPtr<IDispatch>::Retain(sink);
    const HRESULT hr = engine.Translate(options, source.get(), sinkRef.get());
    return hr == S_OK && sink->Chunks() == chunks.size() && sink->Completions() == 1 &&
           sink->Completed();
}

UniqueBstr TranslateText(IQNSTranslationEngine& engine, BSTR options, BSTR source) {
    UniqueBstr owned;
    const HRESULT hr = engine.TranslateText(options, source, owned.put());
    if (hr != S_OK) {
        owned.reset();
    }
    return owned;
}

}  // namespace bench
