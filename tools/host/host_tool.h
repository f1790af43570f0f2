// The host tool as a function of its arguments and streams, so that the tests
// drive exactly what the program runs.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace host {

struct HostIo {
    std::istream& in;
    std::ostream& out;  // results, UTF-8
    std::ostream& err;  // messages, progress
    bool errIsTerminal = false;
};

// Runs one command (the arguments after the program name) and returns the
// exit code (tools/host/exit_codes.h).
int RunHost(const std::vector<std::string>& args, HostIo& io);

}  // namespace host
