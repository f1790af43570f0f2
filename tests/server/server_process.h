// Runs the server executable with a command-line switch and reports how it ended.
#pragma once

#include <string>

struct ProcessResult {
    int exitCode = -1;
    std::string errorOutput;  // what the process wrote to stderr
};

// `serverPath` is the executable; `arguments` follow it on the command line
// (both UTF-8).
// The child inherits the environment (the native registry store location).
ProcessResult RunProcess(const std::string& serverPath, const std::string& arguments);
