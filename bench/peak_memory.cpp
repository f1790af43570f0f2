#include "bench/peak_memory.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

namespace bench {
namespace {

// The value of a "Name:   1234 kB" line, in bytes.
std::optional<std::uint64_t> KilobyteField(std::string_view status, std::string_view name) {
    std::size_t at = 0;
    while (at < status.size()) {
        const std::size_t end = std::min(status.find('\n', at), status.size());
        const std::string_view line = status.substr(at, end - at);
        at = end + 1;
        if (line.size() <= name.size() || line.substr(0, name.size()) != name ||
            line[name.size()] != ':') {
            continue;
        }
        std::size_t position = name.size() + 1;
        while (position < line.size() && (line[position] == ' ' || line[position] == '\t')) {
            ++position;
        }
        std::uint64_t value = 0;
        std::size_t digits = 0;
        while (position < line.size() && line[position] >= '0' && line[position] <= '9') {
            value = value * 10 + static_cast<std::uint64_t>(line[position++] - '0');
            if (++digits > 15) {
                return std::nullopt;
            }
        }
        if (digits == 0 || line.substr(position) != " kB") {
            return std::nullopt;
        }
        return value * 1024;
    }
    return std::nullopt;
}

}  // namespace

std::optional<MemoryUse> ParseMemoryUse(std::string_view status) {
    const std::optional<std::uint64_t> resident = KilobyteField(status, "VmRSS");
    const std::optional<std::uint64_t> peak = KilobyteField(status, "VmHWM");
    if (!resident || !peak) {
        return std::nullopt;
    }
    return MemoryUse{*resident, *peak};
}

std::optional<MemoryUse> CurrentMemoryUse() {
    std::ifstream file("/proc/self/status");
    if (!file) {
        return std::nullopt;
    }
    const std::string status((std::istreambuf_iterator<char>(file)),
                             std::istreambuf_iterator<char>());
    return ParseMemoryUse(status);
}

bool ResetPeakMemory() {
    // "5" resets the high-water mark (Linux 4.0 and later).
    std::ofstream file("/proc/self/clear_refs");
    file << "5";
    file.flush();
    return static_cast<bool>(file);
}

}  // namespace bench
