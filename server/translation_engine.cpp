#include "server/translation_engine.h"

#include <new>
#include <string>

#include "backend/features_document.h"
#include "jobs/translate_call.h"
#include "platform/com_ptr.h"
#include "platform/wide.h"
#include "server/engine_dispatch.h"
#include "server/exe_module.h"
#include "server/guids.h"
#include "text/exceptions.h"

namespace server {
namespace {

// A BSTR as engine text: null is empty, and the text ends at its first NUL.
std::u16string TextOf(BSTR text) {
    if (text == nullptr) {
        return {};
    }
    return std::u16string(FromPlatform(text));
}

}  // namespace

TranslationEngine::TranslationEngine() = default;

// Each engine holds one of the module's locks, taken in Create.
TranslationEngine::~TranslationEngine() {
    Module().Unlock();
}

HRESULT TranslationEngine::Create(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    // A server on its way out creates nothing that would die with it.
    if (!Module().Lock()) {
        return CO_E_SERVER_STOPPING;
    }
    auto* engine = new (std::nothrow) TranslationEngine();
    if (engine == nullptr) {
        Module().Unlock();
        return E_OUTOFMEMORY;
    }
    // The query takes the caller's reference; a refused interface leaves only
    // this one, which destroys the engine.
    const ComPtr<TranslationEngine> held = ComPtr<TranslationEngine>::Retain(engine);
    return held->QueryInterface(iid, object);
}

HRESULT TranslationEngine::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IDispatch) ||
        IsEqualGUID(iid, kIidIQNSTranslationEngine)) {
        *object = static_cast<IQNSTranslationEngine*>(this);
    } else if (IsEqualGUID(iid, IID_ISupportErrorInfo)) {
        *object = static_cast<ISupportErrorInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG TranslationEngine::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG TranslationEngine::Release() {
    const LONG count = InterlockedDecrement(&references_);
    if (count == 0) {
        delete this;
    }
    return static_cast<ULONG>(count);
}

HRESULT TranslationEngine::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT TranslationEngine::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = nullptr;
    if (index != 0) {
        return DISP_E_BADINDEX;
    }
    return CallGuarded([&] { return EngineTypeInfo(info); });
}

HRESULT TranslationEngine::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return CallGuarded([&] { return EngineIdsOfNames(names, count, ids); });
}

HRESULT TranslationEngine::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    return CallGuarded([&] {
        return EngineInvoke(static_cast<IQNSTranslationEngine*>(this), id, flags, params, result,
                            exception, argumentError);
    });
}

HRESULT TranslationEngine::get_Features(BSTR curOptions, BSTR* features) {
    if (features == nullptr) {
        return E_POINTER;
    }
    return CallGuarded([&] {
        const std::u16string document = QueryFeatures(TextOf(curOptions));
        BSTR copy =
            SysAllocStringLen(ToPlatform(document.data()), static_cast<UINT>(document.size()));
        if (copy == nullptr) {
            return E_OUTOFMEMORY;
        }
        *features = copy;
        return S_OK;
    });
}

HRESULT TranslationEngine::Translate(BSTR options, IDispatch* translationSource,
                                     IDispatch* translationSink) {
    return CallGuarded(
        [&] { return RunTranslationJob(options, translationSource, translationSink); });
}

HRESULT TranslationEngine::TranslateText(BSTR options, BSTR source, BSTR* translation) {
    if (translation == nullptr) {
        return E_POINTER;
    }
    return CallGuarded([&] {
        return RunTranslateText(static_cast<IQNSTranslationEngine*>(this), options, source,
                                translation);
    });
}

// The engine offers no alternatives: the answer is always a null string.
HRESULT TranslationEngine::get_AlternateWords(BSTR, BSTR, BSTR* words) {
    if (words == nullptr) {
        return E_POINTER;
    }
    *words = nullptr;
    return S_OK;
}

HRESULT TranslationEngine::SetAlternateWord(BSTR, BSTR, BSTR, BSTR* result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    return S_OK;
}

HRESULT TranslationEngine::ScanSentences(BSTR, IDispatch*, IDispatch*) {
    return S_OK;
}

HRESULT TranslationEngine::InterfaceSupportsErrorInfo(REFIID iid) {
    return IsEqualGUID(iid, kIidIQNSTranslationEngine) ? S_OK : S_FALSE;
}

}  // namespace server
