// The whole engine per chunk: a Translate job of 1,000 short chunks, and
// TranslateText one call at a time, against a bare client that sends the same
// requests to the same back end. The back end answers at once.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "backend/http_transport.h"
#include "backend/pipeline_table.h"
#include "bench/bare_client.h"
#include "bench/engine_harness.h"
#include "text/code_pages.h"
#include "bench/sample_chunks.h"
#include "tools/backend/test_backend.h"

namespace {

// TranslateText calls per measured batch; a fresh back end for each batch
// keeps its per-exchange threads from piling up.
constexpr std::size_t kCallsPerBatch = 200;

// Everything a batch needs that is not measured: a back end of its own.
class Batch {
  public:
    Batch() : backend_(std::make_unique<test_backend::TestBackend>(0)) {
        SetBackendPortForTesting(backend_->Port());
    }
    ~Batch() { SetBackendPortForTesting(0); }
    std::uint16_t Port() const { return backend_->Port(); }
    std::size_t Requests() const { return backend_->RequestCount(); }

  private:
    std::unique_ptr<test_backend::TestBackend> backend_;
};

// An engine object for one benchmark (the caller's thread is in the apartment).
struct Engine {
    ComPtr<IQNSTranslationEngine> engine = bench::CreateEngine();
    UniqueBstr options = CopyToBstr(bench::kArabicToEnglish);
};

void JobEngine(benchmark::State& state) {
    Engine engine;
    for (auto _ : state) {
        state.PauseTiming();
        auto batch = std::make_unique<Batch>();
        state.ResumeTiming();
        const bool ok =
            bench::RunJob(*engine.engine.get(), engine.options.get(), bench::JobChunks());
        state.PauseTiming();
        if (!ok || batch->Requests() != bench::kJobChunks) {
            state.SkipWithError("the job did not translate every chunk");
        }
        batch.reset();
        state.ResumeTiming();
        if (!ok) {
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * bench::kJobChunks));
}

void JobBareClient(benchmark::State& state) {
    const std::string path = PipelinePath(u"ar", u"en");
    for (auto _ : state) {
        state.PauseTiming();
        auto batch = std::make_unique<Batch>();
        // Only the exchanges are measured: the requests are ready beforehand.
        std::vector<std::string> requests;
        for (const std::u16string& chunk : bench::JobChunks()) {
            requests.push_back(
                bench::BackendRequest(path, batch->Port(), WideToNarrow(chunk, kCodePageUtf8)));
        }
        state.ResumeTiming();
        bool ok = true;
        for (const std::string& request : requests) {
            auto answer = bench::BareExchange(batch->Port(), request);
            ok = ok && answer.has_value();
            benchmark::DoNotOptimize(answer);
        }
        state.PauseTiming();
        if (!ok) {
            state.SkipWithError("an exchange failed");
        }
        batch.reset();
        state.ResumeTiming();
        if (!ok) {
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * bench::kJobChunks));
}

void TranslateTextPerCall(benchmark::State& state) {
    Engine engine;
    const UniqueBstr source = CopyToBstr(bench::JobChunks()[7]);
    for (auto _ : state) {
        state.PauseTiming();
        auto batch = std::make_unique<Batch>();
        state.ResumeTiming();
        bool ok = true;
        for (std::size_t call = 0; call < kCallsPerBatch; ++call) {
            const UniqueBstr markup =
                bench::TranslateText(*engine.engine.get(), engine.options.get(), source.get());
            ok = ok && SysStringLen(markup.get()) > 0;
        }
        state.PauseTiming();
        if (!ok || batch->Requests() != kCallsPerBatch) {
            state.SkipWithError("a call did not reach the back end");
        }
        batch.reset();
        state.ResumeTiming();
        if (!ok) {
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kCallsPerBatch));
}

const bool registered = [] {
    benchmark::RegisterBenchmark("per_chunk/engine/job_1000_chunks", JobEngine)
        ->MeasureProcessCPUTime()
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("per_chunk/bare_client/job_1000_chunks", JobBareClient)
        ->MeasureProcessCPUTime()
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("per_chunk/engine/translate_text_200_calls", TranslateTextPerCall)
        ->MeasureProcessCPUTime()
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
