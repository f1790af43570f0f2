#include "jobs/dravik_engine_translation_thread.h"

#include <new>

#include "jobs/fault_injection.h"
#include "text/exceptions.h"

DravikEngineTranslationThread::DravikEngineTranslationThread(std::u16string_view options,
                                                             IDispatch* source, IDispatch* sink)
    : EngineTranslationThread(options, source, sink) {
    options_.SetFromText(std::u16string(options));
}

DravikEngineTranslationThread::~DravikEngineTranslationThread() = default;

void DravikEngineTranslationThread::Run() {
    try {
        if (TakeInjectedFault(InjectedFault::ClientCreation)) {
            throw std::bad_alloc();
        }
        lock_ = std::make_unique<ClientLock>(options_);
    } catch (...) {
        // No chunk is read without a client, but the host still learns that
        // the job is over.
        CompleteFailedQuietly();
        throw;
    }
    try {
        EngineTranslationThread::Run();
    } catch (...) {
        ReleaseLock();
        throw;
    }
    ReleaseLock();
}

std::u16string DravikEngineTranslationThread::TranslateSegment(std::u16string_view chunk) {
    if (!lock_) {
        throw HResultException(E_UNEXPECTED);  // only the loop inside Run translates
    }
    return lock_->TranslateSegment(chunk);
}

void DravikEngineTranslationThread::ReleaseLock() {
    if (lock_) {
        lock_->Release();
        lock_.reset();
    }
}
