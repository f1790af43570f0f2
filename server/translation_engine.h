// TranslationEngine: the automation object the server publishes. It keeps no
// state of its own; every call is independent and brings its options.
#pragma once

#include "platform/com.h"
#include "platform/com_server.h"
#include "server/engine_interface.h"

namespace server {

class TranslationEngine final : public IQNSTranslationEngine, public ISupportErrorInfo {
  public:
    // Builds an engine (holding the module lock for its life) and asks it for
    // `iid`. E_OUTOFMEMORY when it cannot be built.
    static HRESULT Create(REFIID iid, void** object);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch, served from the registered type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    // IQNSTranslationEngine
    HRESULT STDMETHODCALLTYPE get_Features(BSTR curOptions, BSTR* features) override;
    HRESULT STDMETHODCALLTYPE Translate(BSTR options, IDispatch* translationSource,
                                        IDispatch* translationSink) override;
    HRESULT STDMETHODCALLTYPE TranslateText(BSTR options, BSTR source, BSTR* translation) override;
    HRESULT STDMETHODCALLTYPE get_AlternateWords(BSTR options, BSTR currentTranslation,
                                                 BSTR* alternates) override;
    HRESULT STDMETHODCALLTYPE SetAlternateWord(BSTR options, BSTR currentTranslation,
                                               BSTR alternativeToUse,
                                               BSTR* newTranslation) override;
    HRESULT STDMETHODCALLTYPE ScanSentences(BSTR options, IDispatch* translationSource,
                                            IDispatch* translationSink) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  private:
    TranslationEngine();
    ~TranslationEngine();

    volatile LONG references_ = 0;
};

}  // namespace server
