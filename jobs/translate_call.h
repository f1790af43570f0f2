// The steps of the engine's Translate and TranslateText, so that the engine
// object only forwards its calls here. Nothing raises out of these functions.
#pragma once

#include <concepts>
#include <functional>

#include "platform/com.h"

class OLECallThread;

// Runs one translation job over the host's source and sink on a worker thread
// and returns once the job has ended. S_OK whatever happened inside the job
// (the sink hears of that); a failure only when the job could not be run:
// E_OUTOFMEMORY, or E_FAIL when its worker thread or event cannot be created.
HRESULT RunTranslationJob(BSTR options, IDispatch* source, IDispatch* sink);

// The caller's side of any job: build it (the factory may throw), take the
// caller's reference, resume the worker, wait while dispatching messages,
// release. Results as RunTranslationJob.
HRESULT RunJob(const std::function<OLECallThread*()>& makeJob);

// How TranslateText reaches the engine's own Translate.
using TranslateCall = std::function<HRESULT(BSTR options, IDispatch* source, IDispatch* sink)>;

// Translates `source` as one chunk through `translate`, over an in-memory
// source and sink, and hands out everything the sink gathered (an empty
// string when nothing was written). Returns S_OK also when the job failed or
// ended without completing; E_POINTER for a null `translation`; a failure of
// `translate` itself is returned as is, with `translation` left null.
HRESULT RunTranslateText(const TranslateCall& translate, BSTR options, BSTR source,
                         BSTR* translation);

// The same with an engine object whose Translate is called directly.
template <typename Engine>
requires requires(Engine* engine, BSTR text, IDispatch* object) {
    { engine->Translate(text, object, object) } -> std::convertible_to<HRESULT>;
}
HRESULT RunTranslateText(Engine* engine, BSTR options, BSTR source, BSTR* translation) {
    return RunTranslateText(TranslateCall([engine](BSTR text, IDispatch* from, IDispatch* to) {
                                return engine->Translate(text, from, to);
                            }),
                            options, source, translation);
}
