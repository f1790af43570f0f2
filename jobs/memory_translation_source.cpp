#include "jobs/memory_translation_source.h"

#include "platform/unique_bstr.h"

void MemoryTranslationSource::SetText(std::u16string_view text) {
    if (text.empty()) {
        noInput_ = true;
    } else {
        chunks_.emplace_back(text);
    }
}

HRESULT MemoryTranslationSource::ReadChunk(BSTR* chunk) {
    if (chunk == nullptr) {
        return E_FAIL;
    }
    *chunk = nullptr;
    UniqueBstr copy;
    if (next_ < chunks_.size()) {
        copy = UniqueBstr::Copy(chunks_[next_]);
    } else if (noInput_) {
        return E_FAIL;
    } else {
        copy = UniqueBstr::Copy(u"");
    }
    if (!copy) {
        return E_FAIL;
    }
    if (next_ < chunks_.size()) {
        // Each chunk is handed out once: the host's copy is all that is needed
        // from here on, and a large text should not be held twice.
        std::u16string().swap(chunks_[next_]);
        ++next_;
    }
    *chunk = copy.release();
    return S_OK;
}
