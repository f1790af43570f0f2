#include "server/exe_module.h"

#include "platform/threads.h"
#include "server/class_factory.h"
#include "server/guids.h"

namespace server {

void CExeModule::Init(DWORD mainThreadId) {
    mainThreadId_ = mainThreadId;
}

LONG CExeModule::Lock() {
    return InterlockedIncrement(&lockCount_);
}

LONG CExeModule::Unlock() {
    const LONG count = InterlockedDecrement(&lockCount_);
    if (count == 0 && CoSuspendClassObjects() == S_OK) {
        PostThreadMessageA(mainThreadId_, WM_QUIT, 0, 0);
    }
    return count;
}

LONG CExeModule::LockCount() const {
    return lockCount_;
}

HRESULT CExeModule::RegisterClassObjects() {
    const HRESULT hr =
        CoRegisterClassObject(kClsidTranslationEngine, &TranslationEngineClassFactory(),
                              CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &classCookie_);
    classRegistered_ = SUCCEEDED(hr);
    return hr;
}

HRESULT CExeModule::RevokeClassObjects() {
    if (!classRegistered_) {
        return S_OK;
    }
    classRegistered_ = false;
    return CoRevokeClassObject(classCookie_);
}

CExeModule& Module() {
    static CExeModule module;
    return module;
}

}  // namespace server
