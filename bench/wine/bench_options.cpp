#include "bench/wine/bench_options.h"

namespace bench {
namespace {

constexpr int kMaxRepetitions = 1000;

// A whole decimal number in [1, kMaxRepetitions], nothing around it.
std::optional<int> Repetitions(const std::string& text) {
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kMaxRepetitions) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<BenchOptions> ParseBenchOptions(const std::vector<std::string>& arguments,
                                              std::string& problem) {
    BenchOptions options;
    for (std::size_t i = 0; i < arguments.size(); i += 2) {
        const std::string& name = arguments[i];
        if (name != "--server" && name != "--repetitions" && name != "--filter" &&
            name != "--out" && name != "--prefix") {
            problem = "unknown argument: " + name;
            return std::nullopt;
        }
        if (i + 1 >= arguments.size()) {
            problem = name + " needs a value";
            return std::nullopt;
        }
        const std::string& value = arguments[i + 1];
        if (name == "--server") {
            options.server = value;
        } else if (name == "--repetitions") {
            const std::optional<int> repetitions = Repetitions(value);
            if (!repetitions) {
                problem = "--repetitions takes a whole number from 1 to " +
                          std::to_string(kMaxRepetitions) + ", not " + value;
                return std::nullopt;
            }
            options.repetitions = *repetitions;
        } else if (name == "--filter") {
            try {
                options.filter.emplace(value);
            } catch (const std::regex_error&) {
                problem = "--filter: not a regular expression: " + value;
                return std::nullopt;
            }
        } else if (name == "--prefix") {
            // The prefix heads every figure's name and report row: one word.
            if (value.empty() || value.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                                         "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                         "0123456789_") != std::string::npos) {
                problem = "--prefix takes one word of letters, digits and '_', not " + value;
                return std::nullopt;
            }
            options.prefix = value;
        } else {
            options.out = value;
        }
    }
    if (options.server.empty()) {
        problem = "--server PATH is required";
        return std::nullopt;
    }
    return options;
}

bool Selected(const BenchOptions& options, const std::string& name) {
    return !options.filter || std::regex_search(name, *options.filter);
}

}  // namespace bench
