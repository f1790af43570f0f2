// Reading the installation switch from the server's command line.
#pragma once

namespace server {

enum class Command { Serve, UnregServer, RegServer, Configure };

// Scans an ANSI command line (program path first) for the first "-" or "/"
// whose whole remainder names a switch, compared without regard to case.
// Anything else, the embedding switch that COM passes included, means Serve.
Command ScanCommandLine(const char* commandLine);

}  // namespace server
