// Entry of the engine benchmarks. Started with the probe switch, the program
// is a memory probe run by the scaling benchmark instead.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string_view>

#include "bench/engine_harness.h"
#include "bench/memory_probe.h"

int main(int argc, char** argv) {
    if (argc == 4 && std::string_view(argv[1]) == bench::kPeakMemoryProbeSwitch) {
        return bench::RunPeakMemoryProbe(std::strtoull(argv[2], nullptr, 10),
                                         static_cast<std::uint16_t>(std::atoi(argv[3])));
    }
    bench::Apartment apartment;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
