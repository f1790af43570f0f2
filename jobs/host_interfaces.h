// The host's interfaces of a translation job: ITranslationSource hands out
// the text chunk by chunk, ITranslationSink takes the markup and the outcome.
// Windows uses the header widl generates from host_interfaces.idl; the native
// build declares the same vtables by hand.
#pragma once

#include "platform/com.h"

// The interfaces' identifiers; host_interfaces.idl repeats them in its uuid()
// attributes, and a test checks that both agree.
inline constexpr IID kIidITranslationSource = {
    0xD121507B, 0x7F0D, 0x47A1, {0xAE, 0x18, 0x86, 0x74, 0x40, 0xBB, 0x47, 0x47}};
inline constexpr IID kIidITranslationSink = {
    0xAE036A25, 0x5D8D, 0x48ED, {0xA9, 0x92, 0x04, 0x15, 0xB2, 0x65, 0xE1, 0x5F}};

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
