// UTF-8 decoding and encoding with the engine's rules against the C library's
// iconv on the same text, for four scripts.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>

#include "bench/iconv_converter.h"
#include "bench/sample_text.h"
#include "text/code_pages.h"
#include "text/utf8.h"
#include "text/utf8_simd.h"

namespace {

using bench::Script;

constexpr std::size_t kSampleBytes = std::size_t{4} << 20;  // about 4 MiB of UTF-8 each

struct Sample {
    std::u16string wide;
    std::string utf8;
};

const Sample& SampleFor(Script script) {
    static std::map<Script, Sample> samples;
    auto found = samples.find(script);
    if (found == samples.end()) {
        // Size the text by its UTF-8 length, measured on a small piece first.
        const std::size_t probeUnits = 1 << 16;
        const double bytesPerUnit =
            static_cast<double>(
                WideToNarrow(bench::SampleText(script, probeUnits), kCodePageUtf8).size()) /
            probeUnits;
        Sample sample;
        sample.wide = bench::SampleText(
            script, static_cast<std::size_t>(static_cast<double>(kSampleBytes) / bytesPerUnit));
        sample.utf8 = WideToNarrow(sample.wide, kCodePageUtf8);
        found = samples.emplace(script, std::move(sample)).first;
    }
    return found->second;
}

void DecodeEngine(benchmark::State& state, Script script) {
    const Sample& sample = SampleFor(script);
    if (NarrowToWide(sample.utf8, kCodePageUtf8) != sample.wide) {
        state.SkipWithError("the engine's decoder does not give the sample back");
        return;
    }
    for (auto _ : state) {
        std::u16string wide = NarrowToWide(sample.utf8, kCodePageUtf8);
        benchmark::DoNotOptimize(wide.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.utf8.size()));
}

void DecodeIconv(benchmark::State& state, Script script) {
    const Sample& sample = SampleFor(script);
    bench::IconvConverter converter("UTF-16LE", "UTF-8");
    if (bench::IconvUtf8ToUtf16(converter, sample.utf8) != sample.wide) {
        state.SkipWithError("iconv does not give the sample back");
        return;
    }
    for (auto _ : state) {
        std::u16string wide = bench::IconvUtf8ToUtf16(converter, sample.utf8);
        benchmark::DoNotOptimize(wide.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.utf8.size()));
}

void EncodeEngine(benchmark::State& state, Script script) {
    const Sample& sample = SampleFor(script);
    for (auto _ : state) {
        std::string utf8 = WideToNarrow(sample.wide, kCodePageUtf8);
        benchmark::DoNotOptimize(utf8.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.utf8.size()));
}

// The encoder alone, into a buffer kept from one call to the next: what
// WideToNarrow costs beyond it is its own buffer (three bytes a unit) and the
// copy into the result.
void EncodeCodec(benchmark::State& state, Script script) {
    const Sample& sample = SampleFor(script);
    std::string buffer(sample.wide.size() * 3, '\0');
    for (auto _ : state) {
        const std::size_t written =
            EncodeUtf8(sample.wide.data(), sample.wide.size(), buffer.data(), buffer.size());
        benchmark::DoNotOptimize(written);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.utf8.size()));
}

void EncodeIconv(benchmark::State& state, Script script) {
    const Sample& sample = SampleFor(script);
    bench::IconvConverter converter("UTF-8", "UTF-16LE");
    if (bench::IconvUtf16ToUtf8(converter, sample.wide) != sample.utf8) {
        state.SkipWithError("iconv and the engine encode the sample differently");
        return;
    }
    for (auto _ : state) {
        std::string utf8 = bench::IconvUtf16ToUtf8(converter, sample.wide);
        benchmark::DoNotOptimize(utf8.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.utf8.size()));
}

// Runs another benchmark with a block kernel other than the processor's best
// (the figures for processors that lack it), putting the best one back after.
void WithKernel(benchmark::State& state, Utf8Kernel kernel, void (*run)(benchmark::State&, Script),
                Script script) {
    const Utf8Kernel active = ActiveUtf8Kernel();
    if (!SelectUtf8Kernel(kernel)) {
        state.SkipWithError("this processor lacks the kernel");
        return;
    }
    run(state, script);
    SelectUtf8Kernel(active);
}

const bool registered = [] {
    for (Script script : {Script::Ascii, Script::Latin, Script::Arabic, Script::Chinese}) {
        const std::string name(bench::ScriptName(script));
        benchmark::RegisterBenchmark(("utf8_decode/engine/" + name).c_str(), DecodeEngine, script);
        benchmark::RegisterBenchmark(("utf8_decode/iconv/" + name).c_str(), DecodeIconv, script);
        benchmark::RegisterBenchmark(("utf8_encode/engine/" + name).c_str(), EncodeEngine, script);
        benchmark::RegisterBenchmark(("utf8_encode/iconv/" + name).c_str(), EncodeIconv, script);
        benchmark::RegisterBenchmark(("utf8_encode/codec/" + name).c_str(), EncodeCodec, script);
    }
    for (auto [kernel, name] :
         {std::pair{Utf8Kernel::kSsse3, "ssse3"}, std::pair{Utf8Kernel::kNone, "no_kernel"}}) {
        const std::string suffix = std::string(name) + "/latin";
        benchmark::RegisterBenchmark(("utf8_decode/" + suffix).c_str(), WithKernel, kernel,
                                     DecodeEngine, Script::Latin);
        benchmark::RegisterBenchmark(("utf8_encode/" + suffix).c_str(), WithKernel, kernel,
                                     EncodeEngine, Script::Latin);
    }
    return true;
}();

}  // namespace
