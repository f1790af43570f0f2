#include "jobs/translate_call.h"

#include <string>

#include "jobs/dravik_engine_translation_thread.h"
#include "jobs/memory_translation_sink.h"
#include "jobs/memory_translation_source.h"
#include "jobs/ole_call_thread.h"
#include "jobs/signal_event.h"
#include "platform/com_ptr.h"
#include "platform/unique_bstr.h"
#include "text/exceptions.h"

HRESULT RunJob(const std::function<OLECallThread*()>& makeJob) {
    OLECallThread* job = nullptr;
    try {
        job = makeJob();
    } catch (...) {
        return HResultFromCaughtException();
    }
    if (job == nullptr) {
        return E_FAIL;
    }
    // The worker holds the job's first reference and this call its own;
    // whichever is given back second destroys the job.
    const ComPtr<OLECallThread> held = ComPtr<OLECallThread>::Retain(job);
    if (!held->Resume()) {
        return E_FAIL;
    }
    return held->WaitForCompletion() ? S_OK : E_FAIL;
}

HRESULT RunTranslationJob(BSTR options, IDispatch* source, IDispatch* sink) {
    return RunJob([&]() -> OLECallThread* {
        const std::u16string text = TextUpToNul(options);
        return new DravikEngineTranslationThread(text, source, sink);
    });
}

HRESULT RunTranslateText(const TranslateCall& translate, BSTR options, BSTR source,
                         BSTR* translation) {
    if (translation == nullptr) {
        return E_POINTER;
    }
    *translation = nullptr;
    try {
        SignalEvent completion;

        // Each object is held through IDispatch from the moment it exists, so
        // a failure further on cannot leak it. Released sink first, then source.
        ComPtr<IDispatch> sourceObject;
        auto* memorySource = new MemoryTranslationSource();
        memorySource->QueryInterface(IID_IDispatch, sourceObject.put_void());
        memorySource->SetText(TextViewUpToNul(source));

        ComPtr<IDispatch> sinkObject;
        auto* memorySink = new MemoryTranslationSink(completion.Handle());
        memorySink->QueryInterface(IID_IDispatch, sinkObject.put_void());

        const HRESULT hr = translate(options, sourceObject.get(), sinkObject.get());
        if (FAILED(hr)) {
            return hr;
        }
        // Translate returns only after the job has ended, so a Complete that
        // came has signalled already; a job that ended without one (no
        // back-end client, say) must not leave this call waiting for ever.
        completion.Wait(0);
        memorySink->TakeResult(translation);
        return S_OK;
    } catch (...) {
        return HResultFromCaughtException();
    }
}
