// EscapeXmlText on text with nothing to replace and on text with about 6% of
// its code units to replace, against copying the same text into a new string;
// and the same with the loops every x86-64 processor runs, which is what
// EscapeXmlText uses on one without 256-bit vectors.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/sample_text.h"
#include "text/xml_escape.h"
#include "text/xml_escape_kernels.h"

namespace {

constexpr std::size_t kUnits = std::size_t{1} << 20;  // 2 MiB of UTF-16
constexpr unsigned kReplacedPerMille = 60;

const std::u16string& Text(bool mixed) {
    static const std::u16string plain = bench::SampleText(bench::Script::Latin, kUnits);
    static const std::u16string markup = bench::MarkupText(kUnits, kReplacedPerMille);
    return mixed ? markup : plain;
}

void Escape(benchmark::State& state, bool mixed) {
    const std::u16string& text = Text(mixed);
    for (auto _ : state) {
        std::u16string escaped = EscapeXmlText(text);
        benchmark::DoNotOptimize(escaped.data());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * text.size() * sizeof(char16_t)));
}

void EscapeWithBaseline(benchmark::State& state, bool mixed) {
    const std::u16string& text = Text(mixed);
    const xml_escape::Kernels& kernels = *xml_escape::Sse2Kernels();
    for (auto _ : state) {
        std::u16string escaped = xml_escape::EscapeWith(kernels, text);
        benchmark::DoNotOptimize(escaped.data());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * text.size() * sizeof(char16_t)));
}

// The floor for any routine that returns its input as a new string.
void Copy(benchmark::State& state, bool mixed) {
    const std::u16string& text = Text(mixed);
    for (auto _ : state) {
        std::u16string copy(text);
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * text.size() * sizeof(char16_t)));
}

const bool registered = [] {
    benchmark::RegisterBenchmark("xml_escape/engine/plain", Escape, false);
    benchmark::RegisterBenchmark("xml_escape/memcpy/plain", Copy, false);
    benchmark::RegisterBenchmark("xml_escape/engine/mixed", Escape, true);
    benchmark::RegisterBenchmark("xml_escape/memcpy/mixed", Copy, true);
    if (xml_escape::Sse2Kernels() != nullptr) {
        benchmark::RegisterBenchmark("xml_escape/sse2/plain", EscapeWithBaseline, false);
        benchmark::RegisterBenchmark("xml_escape/sse2/mixed", EscapeWithBaseline, true);
    }
    return true;
}();

}  // namespace
