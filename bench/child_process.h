// Runs this same program again with other arguments and collects what it
// prints, so that a measurement can have a fresh process to itself.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bench {

struct ChildResult {
    int exitCode = -1;   // -1 when the child did not end normally
    std::string output;  // its standard output
};

// Starts /proc/self/exe with `arguments` and waits for it; nullopt when it
// could not be started.
std::optional<ChildResult> RunSelf(const std::vector<std::string>& arguments);

}  // namespace bench
