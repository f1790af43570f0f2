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

// `args` without the program name. Output (help, version, the check's
// summary) goes to `out`; errors and the request log to `err`. Serves until
// `stop` is set.
int RunBridge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const TranslatorFactory& makeTranslator, const std::atomic<bool>& stop);

}  // namespace bridge
