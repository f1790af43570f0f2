// Removal of the back end's marks, as the engine does it, on a 16 Mi-unit
// answer with a million marks and on a 256 Ki-unit answer of the same density,
// against the plain search-and-erase rule on the smaller answer.
#include <benchmark/benchmark.h>

#include <string>

#include "backend/remove_all.h"
#include "bench/sample_text.h"

namespace {

constexpr std::u16string_view kOpen = u"<unk> ";
constexpr std::u16string_view kClose = u" </unk>";

// Search from the start, erase the first occurrence, repeat: quadratic.
std::u16string NaiveRemoveAll(std::u16string text, std::u16string_view pattern) {
    for (std::size_t at = text.find(pattern); at != std::u16string::npos; at = text.find(pattern)) {
        text.erase(at, pattern.size());
    }
    return text;
}

std::u16string EngineMarks(const std::u16string& answer) {
    return RemoveAll(RemoveAll(answer, kOpen), kClose);
}

std::u16string NaiveMarks(const std::u16string& answer) {
    return NaiveRemoveAll(NaiveRemoveAll(answer, kOpen), kClose);
}

constexpr std::size_t kLargeUnits = std::size_t{16} << 20;
constexpr std::size_t kSmallUnits = std::size_t{256} << 10;

// A million marks in the large answer; the small one has the same density.
const std::u16string& Answer(std::size_t units) {
    static const std::u16string large = bench::MarkedAnswer(kLargeUnits, 1u << 20);
    static const std::u16string small = bench::MarkedAnswer(kSmallUnits, 1u << 14);
    return units == kLargeUnits ? large : small;
}

void Remove(benchmark::State& state, std::size_t units, bool naive) {
    const std::u16string& answer = Answer(units);
    if (units == kSmallUnits && EngineMarks(answer) != NaiveMarks(answer)) {
        state.SkipWithError("the engine and the plain rule disagree");
        return;
    }
    for (auto _ : state) {
        std::u16string cleaned = naive ? NaiveMarks(answer) : EngineMarks(answer);
        benchmark::DoNotOptimize(cleaned.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * answer.size()));
}

const bool registered = [] {
    benchmark::RegisterBenchmark("remove_all/engine/16Mi", Remove, kLargeUnits, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("remove_all/engine/256Ki", Remove, kSmallUnits, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("remove_all/naive/256Ki", Remove, kSmallUnits, true)
        ->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
