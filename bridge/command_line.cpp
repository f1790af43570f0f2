#include "bridge/command_line.h"

namespace bridge {

const char* const kUsage =
    "usage: qn-bridge [--config FILE] [--log-text] [--port N] [--log-file FILE]\n"
    "       qn-bridge --check-config [--config FILE]\n"
    "       qn-bridge --version | --help\n"
    "       qn-bridge configure | unconfigure [--config FILE] ... (configure --help)\n"
    "Serves the translation engine's six pipelines on loopback port 11000 (or N) through the\n"
    "open MT servers FILE names. --log-text adds each text and its translation to the log.\n"
    "--log-file writes the log to FILE (size-capped) instead of stderr. As a Windows service\n"
    "(--service first, given by the Service Control Manager) the log goes to\n"
    "%ProgramData%\\QnBridge\\qn-bridge.log unless --log-file names another.\n";

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (!args.empty() && (args[0] == "configure" || args[0] == "unconfigure")) {
        line.action = args[0] == "configure" ? CommandLine::Action::Configure
                                             : CommandLine::Action::Unconfigure;
        line.commandArgs.assign(args.begin() + 1, args.end());
        return line;
    }
    bool actionGiven = false;
    auto setAction = [&](CommandLine::Action action, const std::string& arg) {
        if (actionGiven) {
            throw CommandLineError(arg + " cannot be combined with another action");
        }
        actionGiven = true;
        line.action = action;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) {
                throw CommandLineError(arg + " needs a value");
            }
            return args[++i];
        };
        if (arg == "--config") {
            line.configPath = value();
        } else if (arg == "--port") {
            const std::string& text = value();
            if (text.empty() || text.size() > 5 ||
                text.find_first_not_of("0123456789") != std::string::npos ||
                std::stoul(text) > 65535) {
                throw CommandLineError("--port needs a number from 0 to 65535, not \"" + text +
                                       "\"");
            }
            line.port = static_cast<std::uint16_t>(std::stoul(text));
        } else if (arg == "--log-file") {
            line.logFile = value();
        } else if (arg == kServiceArgument) {
            throw CommandLineError(arg + " must come first (the Service Control Manager gives it)");
        } else if (arg == "--log-text") {
            line.logText = true;
        } else if (arg == "--check-config") {
            setAction(CommandLine::Action::CheckConfig, arg);
        } else if (arg == "--version") {
            setAction(CommandLine::Action::Version, arg);
        } else if (arg == "--help" || arg == "-h") {
            setAction(CommandLine::Action::Help, arg);
        } else {
            throw CommandLineError("unknown argument \"" + arg + "\"");
        }
    }
    return line;
}

}  // namespace bridge
