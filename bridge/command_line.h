// The bridge's command line: qn-bridge [--config FILE] [--log-text] [--port N]
// [--log-file FILE], --check-config, --version, --help, configure, unconfigure;
// --service first when the Service Control Manager starts it.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace bridge {

struct CommandLine {
    enum class Action { Serve, CheckConfig, Version, Help, Configure, Unconfigure };
    Action action = Action::Serve;
    std::vector<std::string> commandArgs;  // after "configure" / "unconfigure", read by them
    std::optional<std::string> configPath;
    std::optional<std::uint16_t> port;
    std::optional<std::string> logFile;
    bool logText = false;
};

// The first argument of the command line a Windows service is registered
// with: qn-bridge --service [--config FILE] [--log-file FILE] ...
inline constexpr const char* kServiceArgument = "--service";

class CommandLineError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The arguments after the program name. Throws CommandLineError.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

extern const char* const kUsage;

}  // namespace bridge
