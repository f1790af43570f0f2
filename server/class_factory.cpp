#include "server/class_factory.h"

#include "server/exe_module.h"
#include "server/translation_engine.h"

namespace server {

HRESULT TranslationEngineFactory::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT TranslationEngineFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return TranslationEngine::Create(iid, object);
}

HRESULT TranslationEngineFactory::LockServer(BOOL lock) {
    if (!lock) {
        return Module().UnlockServer() ? S_OK : E_UNEXPECTED;
    }
    return Module().LockServer() ? S_OK : CO_E_SERVER_STOPPING;
}

TranslationEngineFactory& TranslationEngineClassFactory() {
    static TranslationEngineFactory factory;
    return factory;
}

}  // namespace server
