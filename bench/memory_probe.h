// The peak memory of one TranslateText call, measured in a process of its own
// so that nothing else the benchmarks hold is counted. The parent runs the
// back end and starts the probe; the probe prints one line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bench {

// The switch that makes the benchmark program run the probe instead.
inline constexpr std::string_view kPeakMemoryProbeSwitch = "--peak-memory-probe";

struct ProbeResult {
    std::uint64_t peakDeltaBytes =
        0;  // high-water mark during the call above the resident size before it
    std::uint64_t textBytes = 0;  // the source text as the host hands it over (UTF-16)
};

// The probe: one TranslateText of `units` code units of ASCII prose against
// the back end on `port`, after a small call that pays the first-use costs.
// Prints the result line and returns 0, or returns non-zero after printing
// what went wrong.
int RunPeakMemoryProbe(std::size_t units, std::uint16_t port);

// The probe's line as text, and back.
std::string FormatProbeResult(const ProbeResult& result);
std::optional<ProbeResult> ParseProbeResult(std::string_view output);

}  // namespace bench
