// The resident memory of this process and its high-water mark, as the kernel
// reports them, for measuring what one call costs at its peak.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace bench {

struct MemoryUse {
    std::uint64_t residentBytes = 0;  // VmRSS
    std::uint64_t peakBytes = 0;      // VmHWM
};

// Reads the two figures from the text of /proc/<pid>/status; nullopt when
// either is missing or malformed.
std::optional<MemoryUse> ParseMemoryUse(std::string_view status);

// This process's figures; nullopt where the system does not report them.
std::optional<MemoryUse> CurrentMemoryUse();

// Lowers the high-water mark to the present resident size; false when the
// system does not allow it.
bool ResetPeakMemory();

}  // namespace bench
