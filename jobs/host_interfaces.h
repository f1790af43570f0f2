// The host's interfaces of a translation job: ITranslationSource hands out
// the text chunk by chunk, ITranslationSink takes the markup and the outcome.
// Windows uses the header widl generates from host_interfaces.idl; the native
// build declares the same vtables by hand.
#pragma once

#include "platform/com.h"
#include "server/guids.h"

#ifdef _WIN32
#include "jobs/host_interfaces_idl.h"
#else

class ITranslationSource : public IDispatch {
  public:
    // The next piece of text; an empty string or a failure code ends the input.
    virtual HRESULT STDMETHODCALLTYPE ReadChunk(BSTR* chunk) = 0;

  protected:
    ~ITranslationSource() = default;
};

class ITranslationSink : public IDispatch {
  public:
    // One piece of markup per chunk; a failure code ends the job.
    virtual HRESULT STDMETHODCALLTYPE WriteChunk(BSTR markup) = 0;
    // The end of the job: 1 when it completed, 0 when it failed.
    virtual HRESULT STDMETHODCALLTYPE Complete(unsigned char completed) = 0;

  protected:
    ~ITranslationSink() = default;
};

inline constexpr IID IID_ITranslationSource = kIidITranslationSource;
inline constexpr IID IID_ITranslationSink = kIidITranslationSink;
#endif
