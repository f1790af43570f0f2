#include "bench/memory_probe.h"

#include <cstdio>

#include "backend/http_transport.h"
#include "bench/engine_harness.h"
#include "bench/peak_memory.h"
#include "bench/sample_text.h"
#include "platform/wide.h"

namespace bench {
namespace {

constexpr std::size_t kWarmUpUnits = 1024;
// "<Translation>" and "</Translation>\n" around the text.
constexpr std::size_t kElementUnits = 13 + 15;

UniqueBstr AsciiSource(std::size_t units) {
    // Written in place: no temporary copy raises the high-water mark.
    UniqueBstr source(SysAllocStringLen(nullptr, static_cast<UINT>(units)));
    if (source) {
        FillSampleText(Script::Ascii, FromPlatform(source.get()), units);
    }
    return source;
}

int Fail(const char* what) {
    std::printf("probe failed: %s\n", what);
    return 1;
}

std::optional<std::uint64_t> Field(std::string_view output, std::string_view name) {
    const std::size_t at = output.find(name);
    if (at == std::string_view::npos ||
        (at > 0 && output[at - 1] != ' ' && output[at - 1] != '\n')) {
        return std::nullopt;
    }
    std::size_t position = at + name.size();
    std::uint64_t value = 0;
    std::size_t digits = 0;
    while (position < output.size() && output[position] >= '0' && output[position] <= '9') {
        value = value * 10 + static_cast<std::uint64_t>(output[position++] - '0');
        if (++digits > 18) {
            return std::nullopt;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

int RunPeakMemoryProbe(std::size_t units, std::uint16_t port) {
    if (units == 0 || units > 0x3FFFFFF0u) {
        return Fail("size out of range");
    }
    Apartment apartment;
    SetBackendPortForTesting(port);
    ComPtr<IQNSTranslationEngine> engine = CreateEngine();
    if (!engine) {
        return Fail("no engine");
    }
    const UniqueBstr options = CopyToBstr(kArabicToEnglish);
    {
        const UniqueBstr small = AsciiSource(kWarmUpUnits);
        const UniqueBstr warmUp = TranslateText(*engine.get(), options.get(), small.get());
        if (SysStringLen(warmUp.get()) != kWarmUpUnits + kElementUnits) {
            return Fail("the warm-up call was not translated");
        }
    }
    const UniqueBstr source = AsciiSource(units);
    if (!source) {
        return Fail("no memory for the text");
    }
    if (!ResetPeakMemory()) {
        return Fail("the high-water mark cannot be reset here");
    }
    const std::optional<MemoryUse> before = CurrentMemoryUse();
    const UniqueBstr markup = TranslateText(*engine.get(), options.get(), source.get());
    const std::optional<MemoryUse> after = CurrentMemoryUse();
    if (!before || !after) {
        return Fail("memory figures unavailable");
    }
    if (SysStringLen(markup.get()) != units + kElementUnits) {
        return Fail("the text was not translated");
    }
    ProbeResult result;
    result.peakDeltaBytes =
        after->peakBytes > before->residentBytes ? after->peakBytes - before->residentBytes : 0;
    result.textBytes = units * sizeof(char16_t);
    std::printf("%s\n", FormatProbeResult(result).c_str());
    return 0;
}

std::string FormatProbeResult(const ProbeResult& result) {
    return "peak_delta_bytes=" + std::to_string(result.peakDeltaBytes) +
           " text_bytes=" + std::to_string(result.textBytes);
}

std::optional<ProbeResult> ParseProbeResult(std::string_view output) {
    const std::optional<std::uint64_t> delta = Field(output, "peak_delta_bytes=");
    const std::optional<std::uint64_t> text = Field(output, "text_bytes=");
    if (!delta || !text) {
        return std::nullopt;
    }
    return ProbeResult{*delta, *text};
}

}  // namespace bench
