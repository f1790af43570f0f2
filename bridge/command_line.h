// The bridge's command line: qn-bridge [--config FILE] [--log-text] [--port N],
// --check-config, --version, --help.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace bridge {

struct CommandLine {
    enum class Action { Serve, CheckConfig, Version, Help };
    Action action = Action::Serve;
    std::optional<std::string> configPath;
    std::optional<std::uint16_t> port;
    bool logText = false;
};

class CommandLineError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The arguments after the program name. Throws CommandLineError.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

extern const char* const kUsage;

}  // namespace bridge
