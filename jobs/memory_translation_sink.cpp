#include "jobs/memory_translation_sink.h"

#include <new>

#include "platform/unique_bstr.h"

HRESULT MemoryTranslationSink::WriteChunk(BSTR markup) {
    try {
        result_ += TextViewUpToNul(markup);
        return S_OK;
    } catch (const std::bad_alloc&) {
        if (completion_ != nullptr) {
            SetEvent(completion_);
        }
        return E_FAIL;
    }
}

HRESULT MemoryTranslationSink::Complete(unsigned char) {
    if (completion_ == nullptr) {
        return E_INVALIDARG;
    }
    SetEvent(completion_);
    return S_OK;
}

HRESULT MemoryTranslationSink::TakeResult(BSTR* result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    UniqueBstr copy = UniqueBstr::Copy(result_);
    if (!copy) {
        return E_FAIL;
    }
    *result = copy.release();
    result_.clear();
    return S_OK;
}
