// Entry of qn-host: the host tool over the process's standard streams.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "tools/host/host_tool.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <csignal>
#include <unistd.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // UTF-8 in and out byte for byte, with no CR LF translation.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    const bool errIsTerminal = _isatty(_fileno(stderr)) != 0;
#else
    // A closed pipe must fail the write, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    const bool errIsTerminal = isatty(STDERR_FILENO) != 0;
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    host::HostIo io{std::cin, std::cout, std::cerr, errIsTerminal};
    return host::RunHost(args, io);
}
