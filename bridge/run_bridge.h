// RunBridge: the whole qn-bridge program behind main(): reads the command line
// and the configuration, serves until asked to stop, and gives the exit code.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "bridge/upstream.h"

namespace bridge {

using TranslatorFactory = std::function<std::unique_ptr<Translator>(
    const std::vector<UpstreamSettings>&, const std::map<std::string, std::vector<RouteStep>>&)>;

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCannotServe = 1;  // the port is taken, or no address could be bound
inline constexpr int kExitBadConfig = 2;    // bad command line or configuration file

// What a host of the run other than a prompt (the Windows service) adds.
struct RunHost {
    // The log's file when the command line names none; empty: the log goes to `err`.
    std::string defaultLogFile;
    // Listening: requests are answered from now on.
    std::function<void()> serving;
    // About to end the process itself, leaving requests in flight behind
    // after the grace period; the exit code follows.
    std::function<void(int exitCode)> abandoning;
};

// `args` without the program name. Output (help, version, the check's
// summary) goes to `out`; the log goes to the log file (--log-file or the
// host's default) or else to `err`, and a message that ends the run goes to
// `err` too. Serves until `stop` is set.
int RunBridge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const TranslatorFactory& makeTranslator, const std::atomic<bool>& stop,
              const RunHost& host = {});

}  // namespace bridge
