// The command line of the per-chunk benchmark under Wine and the choice of
// benchmarks it makes.
#pragma once

#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace bench {

struct BenchOptions {
    std::string server;  // the server executable, a Windows or a Unix path
    int repetitions = 3;
    std::optional<std::regex> filter;  // runs only the names it matches somewhere
    std::string out;                   // the JSON file; standard output when empty
    std::string prefix;                // names the figures; empty: by the host's width
};

// The options from the arguments after the program name: --server PATH
// (required), --repetitions N (1 to 1000), --filter REGEX, --out FILE,
// --prefix NAME (one word of letters, digits and '_'). On
// nullopt `problem` says what is wrong, for a person.
std::optional<BenchOptions> ParseBenchOptions(const std::vector<std::string>& arguments,
                                              std::string& problem);

// Whether the benchmark called `name` runs.
bool Selected(const BenchOptions& options, const std::string& name);

}  // namespace bench
