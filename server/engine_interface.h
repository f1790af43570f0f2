// IQNSTranslationEngine, the engine's dual automation interface. Windows uses
// the header widl generates from engine.idl; the native build declares the
// same vtable by hand (slots 8 to 13 after IUnknown and IDispatch).
#pragma once

#include "jobs/host_interfaces.h"
#include "platform/com.h"
#include "server/guids.h"

#ifdef _WIN32
#include "server/engine_idl.h"
#else

class IQNSTranslationEngine : public IDispatch {
  public:
    virtual HRESULT STDMETHODCALLTYPE get_Features(BSTR curOptions, BSTR* features) = 0;
    virtual HRESULT STDMETHODCALLTYPE Translate(BSTR options, IDispatch* translationSource,
                                                IDispatch* translationSink) = 0;
    virtual HRESULT STDMETHODCALLTYPE TranslateText(BSTR options, BSTR source,
                                                    BSTR* translation) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AlternateWords(BSTR options, BSTR currentTranslation,
                                                         BSTR* alternates) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAlternateWord(BSTR options, BSTR currentTranslation,
                                                       BSTR alternativeToUse,
                                                       BSTR* newTranslation) = 0;
    virtual HRESULT STDMETHODCALLTYPE ScanSentences(BSTR options, IDispatch* translationSource,
                                                    IDispatch* translationSink) = 0;

  protected:
    ~IQNSTranslationEngine() = default;
};
#endif
