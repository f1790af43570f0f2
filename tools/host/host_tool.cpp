#include "tools/host/host_tool.h"

#include "tools/host/commands.h"
#include "tools/host/engine_activation.h"
#include "tools/host/exit_codes.h"

namespace host {

void Complain(HostIo& io, const std::string& message) {
    io.err << "qn-host: " << message << '\n' << std::flush;
}

int RunHost(const std::vector<std::string>& args, HostIo& io) {
    std::string error;
    const std::optional<HostOptions> options = ParseCommandLine(args, error);
    if (!options) {
        Complain(io, error + " (qn-host --help lists the commands)");
        return kExitUsage;
    }
    ComApartment apartment;
    switch (options->command) {
        case Command::Help:
            io.out << UsageText() << std::flush;
            return kExitOk;
        case Command::Engines:
            return RunEngines(io);
        case Command::Features:
            return RunFeatures(*options, io);
        case Command::Translate:
            return RunTranslate(*options, io);
        case Command::Check:
            return RunCheck(io);
    }
    return kExitUsage;
}

}  // namespace host
