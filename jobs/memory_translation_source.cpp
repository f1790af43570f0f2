#include "jobs/memory_translation_source.h"

#include <new>

void MemoryTranslationSource::SetText(std::u16string_view text) {
    if (text.empty()) {
        noInput_ = true;
        return;
    }
    UniqueBstr copy = CopyToBstr(text);
    if (!copy) {
        throw std::bad_alloc();
    }
    chunks_.push_back(std::move(copy));
}

HRESULT MemoryTranslationSource::ReadChunk(BSTR* chunk) {
    if (chunk == nullptr) {
        return E_FAIL;
    }
    *chunk = nullptr;
    if (next_ < chunks_.size()) {
        *chunk = chunks_[next_++].release();
        return S_OK;
    }
    if (noInput_) {
        return E_FAIL;
    }
    UniqueBstr empty = CopyToBstr(u"");
    if (!empty) {
        return E_FAIL;
    }
    *chunk = empty.release();
    return S_OK;
}
