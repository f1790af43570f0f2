// RunService: qn-bridge as a Windows service. Connects to the Service Control
// Manager, reports the service's state while the bridge starts, serves and
// stops, and keeps its log in a file, since a service has no console.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "bridge/run_bridge.h"

namespace bridge {

// The name the service is installed under, and what the services list shows.
inline constexpr const char* kServiceName = "QnBridge";
inline constexpr const char* kServiceDisplayName = "QN translation bridge";

// `args`: the registered command line after --service. Returns the bridge's
// exit code once the service has stopped. Started from a prompt instead, it
// says so on `err` and returns kExitBadConfig; natively it always does.
int RunService(const std::vector<std::string>& args, const TranslatorFactory& makeTranslator,
               std::ostream& err);

}  // namespace bridge
