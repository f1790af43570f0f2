// MemoryTranslationSink: an ITranslationSink that gathers a job's markup in
// memory and signals its caller's event when the job completes.
#pragma once

#include <string>

#include "jobs/automation_object.h"
#include "jobs/host_interfaces.h"
#include "platform/threads.h"
#include "platform/unique_bstr.h"

class MemoryTranslationSink final
    : public AutomationObject<MemoryTranslationSink, ITranslationSink, IID_ITranslationSink> {
  public:
    // `completion` (not owned, may be null) is signalled by Complete.
    explicit MemoryTranslationSink(HANDLE completion) : completion_(completion) {}

    // Appends the markup up to its first NUL. When it cannot be stored, the
    // completion event is signalled and the failure returned
    // (HResultFromCaughtException: E_OUTOFMEMORY for want of memory).
    HRESULT STDMETHODCALLTYPE WriteChunk(BSTR markup) override;
    // Signals the completion event whatever the flag; E_INVALIDARG without one.
    HRESULT STDMETHODCALLTYPE Complete(unsigned char completed) override;
    // Hands out a copy of everything gathered and starts afresh.
    virtual HRESULT STDMETHODCALLTYPE TakeResult(BSTR* result);

  private:
    friend class AutomationObject<MemoryTranslationSink, ITranslationSink, IID_ITranslationSink>;
    ~MemoryTranslationSink() = default;

    // The first chunk is kept as the BSTR that TakeResult hands out, so that
    // a single chunk (all that TranslateText writes) is never copied again;
    // from the second chunk on they are gathered in `result_`.
    UniqueBstr first_;
    std::u16string result_;
    HANDLE completion_;
};
