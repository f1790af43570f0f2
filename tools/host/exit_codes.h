// The host tool's exit codes; --help lists them for scripts that call the tool.
#pragma once

namespace host {

enum ExitCode : int {
    kExitOk = 0,
    kExitChunkErrors = 1,       // a chunk carried an error, or check found a fault
    kExitUsage = 2,             // the command line could not be understood
    kExitNotRegistered = 3,     // no engine entry or ProgID for the request
    kExitActivationFailed = 4,  // the engine class could not be created
    kExitBackendDown = 5,       // nothing listens on localhost:11000
    kExitUnreadableInput = 6,   // the input cannot be read, is not UTF-8 or holds a NUL
    kExitJobFailed = 7,         // the job failed, never reported its end or ended early
};

}  // namespace host
