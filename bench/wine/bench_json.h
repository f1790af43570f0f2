// Timed runs written as Google Benchmark's JSON output, so that the report
// script reads the figures taken under Wine like the native ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// One repetition of one benchmark: a batch of `items` measured as a whole.
struct TimedRun {
    std::string name;
    int repetitionIndex = 0;
    int repetitions = 1;
    double realSeconds = 0.0;
    double cpuSeconds = 0.0;  // CPU of the processes the run is charged with
    std::uint64_t items = 0;
    std::string error;  // empty when the run succeeded
};

// The document: a "context" with `contextLines` as string fields (name, value
// pairs) and a "benchmarks" array with one "iteration" entry per run, times in
// milliseconds per batch.
std::string ToBenchmarkJson(const std::vector<TimedRun>& runs,
                            const std::vector<std::pair<std::string, std::string>>& context);

// `text` as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace bench
