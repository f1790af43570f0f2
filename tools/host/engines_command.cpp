// `engines`: the directions registered under the host framework's key.
#include <algorithm>

#include "server/registry_paths.h"
#include "tools/host/commands.h"
#include "tools/host/engine_registry.h"
#include "tools/host/exit_codes.h"

namespace host {
namespace {

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::string SuppressText(const EngineEntry& entry) {
    if (!entry.suppress) {
        return "-";
    }
    return *entry.suppress != 0 ? "yes" : "no";
}

}  // namespace

int RunEngines(HostIo& io) {
    const EngineList list = ReadEngineList();
    if (list.entries.empty()) {
        Complain(io, std::string("no translation engines are registered under HKLM\\") +
                         server::kEnginesKeyPath + "; register the server with /RegServer");
        return kExitNotRegistered;
    }
    std::size_t nameWidth = 6;
    std::size_t progIdWidth = 6;
    for (const EngineEntry& entry : list.entries) {
        nameWidth = std::max(nameWidth, entry.name.size());
        progIdWidth = std::max(progIdWidth, entry.progId.size());
    }
    io.out << Padded("Direction", 11) << "  " << Padded("Engine", nameWidth) << "  "
           << Padded("ProgID", progIdWidth) << "  Suppress\n";
    for (const EngineEntry& entry : list.entries) {
        const std::string direction = (entry.source.empty() ? "?" : entry.source) + " -> " +
                                      (entry.target.empty() ? "?" : entry.target);
        io.out << Padded(direction, 11) << "  " << Padded(entry.name, nameWidth) << "  "
               << Padded(entry.progId, progIdWidth) << "  " << SuppressText(entry) << '\n';
    }
    io.out << list.entries.size() << " engines; Suppress \"yes\": the back end's model folder "
           << "for the direction is missing, \"-\": not yet configured\n"
           << std::flush;
    return kExitOk;
}

}  // namespace host
