// One chunk of 1 Ki to 64 Mi code units through TranslateText: the time per
// code unit should stay flat as the text grows, and the peak memory of a call
// (measured in a process of its own) should stay below six times the text.
#include <benchmark/benchmark.h>

#include <string>

#include "backend/http_transport.h"
#include "bench/child_process.h"
#include "bench/echo_backend.h"
#include "bench/engine_harness.h"
#include "bench/memory_probe.h"
#include "bench/sample_text.h"
#include "platform/wide.h"

namespace {

struct Size {
    const char* label;
    std::size_t units;
};

constexpr Size kSizes[] = {{"1Ki", std::size_t{1} << 10},
                           {"1Mi", std::size_t{1} << 20},
                           {"16Mi", std::size_t{16} << 20},
                           {"64Mi", std::size_t{64} << 20}};

constexpr std::size_t kElementUnits = 13 + 15;  // the Translation element around the text

void TranslateTextTime(benchmark::State& state, std::size_t units) {
    bench::EchoBackend backend;
    SetBackendPortForTesting(backend.Port());
    ComPtr<IQNSTranslationEngine> engine = bench::CreateEngine();
    const UniqueBstr options = CopyToBstr(bench::kArabicToEnglish);
    const UniqueBstr source(SysAllocStringLen(nullptr, static_cast<UINT>(units)));
    bench::FillSampleText(bench::Script::Ascii, FromPlatform(source.get()), units);
    for (auto _ : state) {
        const UniqueBstr markup = bench::TranslateText(*engine.get(), options.get(), source.get());
        if (SysStringLen(markup.get()) != units + kElementUnits) {
            state.SkipWithError("the text did not come back translated");
            break;
        }
    }
    SetBackendPortForTesting(0);
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * units * sizeof(char16_t)));
}

void TranslateTextPeakMemory(benchmark::State& state, std::size_t units) {
    bench::EchoBackend backend;
    for (auto _ : state) {
        const auto child = bench::RunSelf({std::string(bench::kPeakMemoryProbeSwitch),
                                           std::to_string(units), std::to_string(backend.Port())});
        const auto result = child ? bench::ParseProbeResult(child->output) : std::nullopt;
        if (!child || child->exitCode != 0 || !result) {
            state.SkipWithError(child ? child->output.c_str() : "the probe did not start");
            return;
        }
        state.counters["peak_delta_bytes"] = static_cast<double>(result->peakDeltaBytes);
        state.counters["text_bytes"] = static_cast<double>(result->textBytes);
        state.counters["peak_ratio"] =
            static_cast<double>(result->peakDeltaBytes) / static_cast<double>(result->textBytes);
    }
}

const bool registered = [] {
    for (const Size& size : kSizes) {
        benchmark::RegisterBenchmark(
            (std::string("scaling/engine/translate_text_") + size.label).c_str(), TranslateTextTime,
            size.units)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    for (const Size& size : kSizes) {
        benchmark::RegisterBenchmark(
            (std::string("peak_memory/engine/translate_text_") + size.label).c_str(),
            TranslateTextPeakMemory, size.units)
            ->Iterations(1)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace
