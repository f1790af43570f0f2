// A host process for the Windows load test: activates the registered engine
// by its ProgID (out of process), runs its share of jobs one after another
// and exits 0 only when every job delivered exactly the expected markup.
// With --churn it instead creates an engine, asks for its features and lets
// it go, again and again, and exits 0 only when every activation succeeded.
// Usage: test_load_host <host number> <jobs> [<event to set once active>]
//        test_load_host --churn <host number> <activations> [<event>]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/com_ptr.h"
#include "platform/com_server.h"
#include "platform/unique_handle.h"
#include "platform/wide.h"
#include "server/engine_interface.h"
#include "server/guids.h"
#include "tests/faults/engine_driver.h"
#include "tests/load/load_jobs.h"

namespace {

HRESULT Activate(ComPtr<IQNSTranslationEngine>& engine) {
    CLSID clsid{};
    HRESULT hr =
        CLSIDFromProgID(ToPlatform(u"QNDravikHybridTranslationEngine.TranslationEngine.1"), &clsid);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, kIidIQNSTranslationEngine,
                              engine.put_void());
    }
    return SUCCEEDED(hr) && !engine ? E_NOINTERFACE : hr;
}

bool Signal(int host, const char* activeEvent) {
    if (activeEvent == nullptr) {
        return true;
    }
    UniqueHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, activeEvent));
    if (!event || !SetEvent(event.get())) {
        std::fprintf(stderr, "host %d: cannot signal %s\n", host, activeEvent);
        return false;
    }
    return true;
}

int RunChurn(int host, int activations, const char* activeEvent) {
    int failed = 0;
    for (int index = 0; index < activations; ++index) {
        ComPtr<IQNSTranslationEngine> engine;
        HRESULT hr = Activate(engine);
        BSTR features = nullptr;
        if (SUCCEEDED(hr)) {
            hr = engine->get_Features(nullptr, &features);
            SysFreeString(features);
        }
        if (FAILED(hr)) {
            std::fprintf(stderr, "host %d activation %d: 0x%08lx\n", host, index,
                         static_cast<unsigned long>(hr));
            ++failed;
        }
        if (index == 0 && !Signal(host, activeEvent)) {
            return 2;
        }
    }
    std::printf("host %d: %d activations, %d failed\n", host, activations, failed);
    return failed == 0 ? 0 : 1;
}

int RunHost(int host, int jobs, const char* activeEvent) {
    ComPtr<IQNSTranslationEngine> engine;
    const HRESULT hr = Activate(engine);
    if (FAILED(hr)) {
        std::fprintf(stderr, "host %d: activation failed (0x%08lx)\n", host,
                     static_cast<unsigned long>(hr));
        return 2;
    }
    if (!Signal(host, activeEvent)) {
        return 2;
    }
    int failed = 0;
    for (int index = 0; index < jobs; ++index) {
        const load::Job job = load::MakeJob(host, index);
        const faults::JobOutcome outcome =
            faults::RunGuardedJob(engine.get(), faults::PairOptions(u"ar", u"en"), job.chunks);
        const std::string problem = load::CheckJob(job, outcome.chunks, outcome.completions);
        if (!problem.empty() || outcome.result != S_OK) {
            std::fprintf(stderr, "host %d job %d: %s (0x%08lx)\n", host, index, problem.c_str(),
                         static_cast<unsigned long>(outcome.result));
            ++failed;
        }
    }
    std::printf("host %d: %d jobs, %d failed\n", host, jobs, failed);
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool churn = argc > 1 && std::string(argv[1]) == "--churn";
    if (argc < 3 + (churn ? 1 : 0)) {
        std::fprintf(stderr, "usage: test_load_host [--churn] <host number> <count> [<event>]\n");
        return 2;
    }
    char** rest = argv + (churn ? 2 : 1);
    const int host = std::atoi(rest[0]);
    const int count = std::atoi(rest[1]);
    const char* event = argc > 3 + (churn ? 1 : 0) ? rest[2] : nullptr;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const int code = churn ? RunChurn(host, count, event) : RunHost(host, count, event);
    CoUninitialize();
    return code;
}
