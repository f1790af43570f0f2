// `qn-bridge configure` and `qn-bridge unconfigure`: make the engine offer
// exactly the directions the bridge's configuration serves, and undo that.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace bridge {

// Exit codes beside RunBridge's (0 done, 2 bad command line or configuration).
inline constexpr int kExitConfigureFailed = 1;   // a folder, a registry value or a server's
                                                 // /Configure failed
inline constexpr int kExitConfigureRefused = 3;  // another install is named; --replace needed

extern const char* const kConfigureUsage;

// `args` are the words after "configure": [--config FILE] [--folder DIR]
// [--replace] [--server PATH]. Makes a model folder in the bridge's folder
// for each configured direction (and removes those it made for others),
// points DravikHybridInstallLoc at that folder in every registry view an
// engine server reads (recording the value it replaced), then runs each
// registered server's /Configure.
int RunConfigure(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// `args` are the words after "unconfigure": [--config FILE] [--folder DIR]
// [--server PATH]. Puts back what configure replaced (removes the value when
// there was none), removes what it made and runs /Configure again.
int RunUnconfigure(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace bridge
