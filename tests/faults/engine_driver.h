// Runs whole translation jobs through an engine object the way a host does,
// with a hang guard: a job that does not end in time is reported as hung
// (and the caller's rescue is run so that the job can still be joined).
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/com.h"
#include "platform/com_ptr.h"
#include "platform/wide.h"
#include "server/class_factory.h"
#include "server/engine_interface.h"
#include "server/guids.h"
#include "tests/server/host_objects.h"

namespace faults {

// An owned BSTR made from engine text.
class Bstr {
  public:
    explicit Bstr(std::u16string_view text)
        : value_(SysAllocStringLen(ToPlatform(std::u16string(text).data()),
                                   static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return value_; }

  private:
    BSTR value_;
};

inline std::u16string PairOptions(std::u16string_view source, std::u16string_view target) {
    return u"<t:Option Name=\"SourceLanguage\">" + std::u16string(source) +
           u"</t:Option><t:Option Name=\"TranslationLanguage\">" + std::u16string(target) +
           u"</t:Option>";
}

// An engine built by the server's class factory in this process, in both
// builds, so that the test controls the back end's port.
inline ComPtr<IQNSTranslationEngine> CreateEngineInProcess() {
    ComPtr<IQNSTranslationEngine> engine;
    server::TranslationEngineClassFactory().CreateInstance(nullptr, kIidIQNSTranslationEngine,
                                                           engine.put_void());
    return engine;
}

struct JobOutcome {
    bool ended = false;  // false: the hang guard fired
    HRESULT result = E_FAIL;
    std::vector<std::u16string> chunks;
    std::vector<int> completions;
};

// One Translate call on a client thread of its own (in the multithreaded
// apartment, as a host's call would arrive). When it has not returned within
// `guard`, `rescue` runs (it should make the back end let go) and the call is
// then awaited without limit.
inline JobOutcome RunGuardedJob(IQNSTranslationEngine* engine, std::u16string_view options,
                                std::vector<std::u16string> chunks,
                                std::chrono::seconds guard = std::chrono::seconds(240),
                                const std::function<void()>& rescue = {}) {
    auto* source = new HostSource(std::move(chunks));
    auto* sink = new HostSink();
    ComPtr<IDispatch> sourceRef = ComPtr<IDispatch>::Retain(source);
    ComPtr<IDispatch> sinkRef = ComPtr<IDispatch>::Retain(sink);
    Bstr optionsText(options);

    std::promise<HRESULT> done;
    std::future<HRESULT> result = done.get_future();
    std::thread client([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        done.set_value(engine->Translate(optionsText.get(), sourceRef.get(), sinkRef.get()));
        CoUninitialize();
    });
    JobOutcome outcome;
    outcome.ended = result.wait_for(guard) == std::future_status::ready;
    if (!outcome.ended && rescue) {
        rescue();
    }
    client.join();
    outcome.result = result.get();
    outcome.chunks = sink->Chunks();
    outcome.completions = sink->Completions();
    return outcome;
}

}  // namespace faults
