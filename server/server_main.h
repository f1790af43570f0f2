// The server's entry logic: an installation command, or serving engine
// objects until the last one is released.
#pragma once

namespace server {

// Runs the command named on the process's command line and returns the
// process exit code.
int RunServer();

// Runs Configure and turns its failure into a message on stderr and a
// non-zero exit code (0 on success).
int RunConfigure();

}  // namespace server
