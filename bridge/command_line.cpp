#include "bridge/command_line.h"

namespace bridge {

const char* const kUsage =
    "usage: qn-bridge [--config FILE] [--log-text] [--port N]\n"
    "       qn-bridge --check-config [--config FILE]\n"
    "       qn-bridge --version | --help\n"
    "Serves the translation engine's six pipelines on loopback port 11000 (or N) through the\n"
    "open MT servers FILE names. --log-text adds each text and its translation to the log.\n";

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
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
