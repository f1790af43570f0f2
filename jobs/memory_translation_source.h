// MemoryTranslationSource: an ITranslationSource over text held in memory, for
// the synchronous TranslateText. Each text given to it is one chunk, whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jobs/automation_object.h"
#include "jobs/host_interfaces.h"
#include "platform/unique_bstr.h"

class MemoryTranslationSource final
    : public AutomationObject<MemoryTranslationSource, ITranslationSource, IID_ITranslationSource> {
  public:
    MemoryTranslationSource() = default;

    // Appends a non-empty text as one more chunk; an empty text instead marks
    // the source as having no input, so that reading past the end fails.
    void SetText(std::u16string_view text);

    // The next chunk (S_OK); after the last one an empty string (S_OK), or
    // E_FAIL when the source has no input. E_FAIL for a null pointer or when
    // the copy cannot be allocated.
    HRESULT STDMETHODCALLTYPE ReadChunk(BSTR* chunk) override;

  private:
    friend class AutomationObject<MemoryTranslationSource, ITranslationSource,
                                  IID_ITranslationSource>;
    ~MemoryTranslationSource() = default;

    // Held as the BSTRs handed out: each chunk is read once, and its string
    // then passes to the reader without a copy.
    std::vector<UniqueBstr> chunks_;
    ULONG next_ = 0;
    bool noInput_ = false;
};
