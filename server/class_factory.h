// The class factory of TranslationEngine: one static, multi-use object.
#pragma once

#include "platform/com.h"
#include "platform/com_server.h"

namespace server {

class TranslationEngineFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    // The factory lives as long as the process; COM's references do not own it.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    // Refuses aggregation; a new engine holds the module lock for its life.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    // TRUE takes the module lock, FALSE gives back one taken this way
    // (E_UNEXPECTED when there is none, changing nothing).
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
};

TranslationEngineFactory& TranslationEngineClassFactory();

}  // namespace server
