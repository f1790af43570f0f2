#include "jobs/memory_translation_sink.h"

#include <new>

#include "text/exceptions.h"

HRESULT MemoryTranslationSink::WriteChunk(BSTR markup) {
    const std::u16string_view text = TextViewUpToNul(markup);
    try {
        if (!first_ && result_.empty()) {
            first_ = CopyToBstr(text);
            if (!first_) {
                throw std::bad_alloc();
            }
        } else {
            if (first_) {
                result_ = TextViewUpToNul(first_.get());
                first_.reset();
            }
            result_ += text;
        }
        return S_OK;
    } catch (...) {
        if (completion_ != nullptr) {
            SetEvent(completion_);
        }
        return HResultFromCaughtException();
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
    if (first_) {
        *result = first_.release();
        return S_OK;
    }
    UniqueBstr copy = CopyToBstr(result_);
    if (!copy) {
        return E_FAIL;
    }
    *result = copy.release();
    result_.clear();
    return S_OK;
}
