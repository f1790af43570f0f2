#include "server/exe_module.h"

#include "platform/threads.h"
#include "server/class_factory.h"
#include "server/guids.h"

namespace server {

void CExeModule::Init(DWORD mainThreadId) {
    std::lock_guard<std::mutex> lock(mutex_);
    mainThreadId_ = mainThreadId;
    idleSince_ = Clock::now();
}

bool CExeModule::Lock() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
        return false;
    }
    ++lockCount_;
    used_ = true;
    return true;
}

bool CExeModule::LockServer() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
        return false;
    }
    ++lockCount_;
    ++serverLocks_;
    used_ = true;
    return true;
}

bool CExeModule::UnlockServer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (serverLocks_ == 0) {
            return false;
        }
        --serverLocks_;
    }
    Unlock();
    return true;
}

LONG CExeModule::Unlock() {
    DWORD wake = 0;
    LONG count = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lockCount_ == 0) {
            return 0;  // an unmatched release: a count below 0 would read as idle
        }
        count = --lockCount_;
        if (count == 0) {
            idleSince_ = Clock::now();
            wake = mainThreadId_;
        }
    }
    if (wake != 0) {
        // The serve loop waits without a time-out while the count is above 0.
        PostThreadMessageA(wake, WM_NULL, 0, 0);
    }
    return count;
}

LONG CExeModule::LockCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lockCount_;
}

DWORD CExeModule::UntilIdleLocked(Clock::time_point now) const {
    if (lockCount_ > 0) {
        return INFINITE;
    }
    const auto delay = used_ ? shutdownDelay_ : unusedLifetime_;
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - idleSince_);
    return waited >= delay ? 0 : static_cast<DWORD>((delay - waited).count());
}

DWORD CExeModule::MillisecondsUntilIdle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return UntilIdleLocked(Clock::now());
}

bool CExeModule::TryStop() {
    // Activations that were already on their way may still reach the class
    // factory after the suspension: the count is looked at again under the
    // lock, and from then on Lock refuses.
    CoSuspendClassObjects();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (UntilIdleLocked(Clock::now()) == 0) {
            stopping_ = true;
            return true;
        }
    }
    CoResumeClassObjects();
    return false;
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
    static CExeModule module = [] {
        const ServerLifetimes lifetimes = EffectiveServerLifetimes();
        return CExeModule(lifetimes.shutdownDelay, lifetimes.unusedLifetime);
    }();
    return module;
}

}  // namespace server
