// A host process for the Windows load test: activates the registered engine
// by its ProgID (out of process), runs its share of jobs one after another
// and exits 0 only when every job delivered exactly the expected markup.
// Usage: test_load_host <host number> <jobs> [<event to set once active>]
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

int RunHost(int host, int jobs, const char* activeEvent) {
    CLSID clsid{};
    HRESULT hr =
        CLSIDFromProgID(ToPlatform(u"QNDravikHybridTranslationEngine.TranslationEngine.1"), &clsid);
    ComPtr<IQNSTranslationEngine> engine;
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, kIidIQNSTranslationEngine,
                              engine.put_void());
    }
    if (FAILED(hr) || !engine) {
        std::fprintf(stderr, "host %d: activation failed (0x%08lx)\n", host,
                     static_cast<unsigned long>(hr));
        return 2;
    }
    if (activeEvent != nullptr) {
        UniqueHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, activeEvent));
        if (!event || !SetEvent(event.get())) {
            std::fprintf(stderr, "host %d: cannot signal %s\n", host, activeEvent);
            return 2;
        }
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
    if (argc < 3) {
        std::fprintf(stderr, "usage: test_load_host <host number> <jobs> [<event>]\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const int code = RunHost(std::atoi(argv[1]), std::atoi(argv[2]), argc > 3 ? argv[3] : nullptr);
    CoUninitialize();
    return code;
}
