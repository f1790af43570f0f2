// `check`: what an integrator asks first when translations come back empty.
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "backend/pipeline_table.h"
#include "tools/host/backend_probe.h"
#include "tools/host/commands.h"
#include "tools/host/engine_registry.h"
#include "tools/host/exit_codes.h"

namespace host {
namespace {

// A common word in each source language of the pipeline table.
struct Probe {
    const char* source;
    const char* target;
    const char* word;  // UTF-8
};
constexpr Probe kProbes[] = {
    {"ar", "en", "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7"},  // marhaba
    {"en", "ar", "hello"},
    {"fa", "en", "\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85"},  // salam
    {"en", "fa", "hello"},
    {"it", "en", "ciao"},
    {"de", "en", "hallo"},
};
constexpr std::size_t kPreviewBytes = 40;

std::string Preview(std::string body) {
    for (char& c : body) {
        if (c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
    }
    if (body.size() > kPreviewBytes) {
        std::size_t cut = kPreviewBytes;
        while (cut > 0 && (static_cast<unsigned char>(body[cut]) & 0xC0) == 0x80) {
            --cut;  // never split a UTF-8 sequence
        }
        body = body.substr(0, cut) + "...";
    }
    return "\"" + body + "\"";
}

std::u16string Wide(const char* ascii) {
    return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii));
}

// Returns true when every direction answered. A qn-bridge back end also
// says, by its status before and after each probe, which upstream served it;
// a direction it has no route for is not offered, and not a fault.
bool CheckPipelines(HostIo& io) {
    bool allAnswered = true;
    std::optional<BridgeStatus> bridge = ReadBridgeStatus();
    if (bridge) {
        std::string directions;
        for (const std::string& direction : bridge->directions) {
            directions += (directions.empty() ? "" : ", ") + direction;
        }
        io.out << "  qn-bridge " << bridge->version << " answers GET /status; it serves "
               << directions << '\n';
    }
    io.out << "Pipelines:\n";
    for (const Probe& probe : kProbes) {
        io.out << "  " << probe.source << " -> " << probe.target << "  ";
        const std::string direction = std::string(probe.source) + "-" + probe.target;
        if (bridge && bridge->directions.count(direction) == 0) {
            io.out << "not served: the bridge's configuration has no route for it "
                      "(qn-bridge configure keeps the engine from offering it)\n";
            continue;
        }
        const PipelineAnswer answer =
            PostToPipeline(PipelinePath(Wide(probe.source), Wide(probe.target)), probe.word);
        std::string servedBy;
        if (bridge) {
            if (std::optional<BridgeStatus> after = ReadBridgeStatus()) {
                servedBy = ServedBy(*bridge, *after);
                bridge = std::move(after);
            }
        }
        if (!answer.reached) {
            io.out << "no answer: " << answer.problem << '\n';
            allAnswered = false;
        } else if (answer.status != 200) {
            io.out << "HTTP " << answer.status << ": " << Preview(answer.body) << '\n';
            allAnswered = false;
        } else if (answer.body.empty()) {
            io.out << "empty answer to " << Preview(probe.word) << '\n';
            allAnswered = false;
        } else {
            io.out << "answers " << Preview(probe.word) << " with " << Preview(answer.body)
                   << (servedBy.empty() ? "" : " (qn-bridge: " + servedBy + ")") << '\n';
        }
    }
    return allAnswered;
}

// Returns false when no engine of this program is registered.
bool CheckModelFolders(HostIo& io) {
    const std::string installFolder = BackendInstallFolder();
    std::set<std::pair<std::string, std::string>> seen;
    std::size_t missing = 0;
    io.out << "Model folders (back end installed in " << installFolder << "):\n";
    for (const EngineEntry& entry : ReadEngineList().entries) {
        if (!entry.IsThisProgram() || !seen.emplace(entry.source, entry.target).second) {
            continue;
        }
        const std::string folder = ModelFolder(installFolder, entry.source, entry.target);
        const bool present = ModelFolderExists(folder);
        missing += present ? 0 : 1;
        io.out << "  " << entry.source << "-" << entry.target << "  "
               << (present ? "present  " : "MISSING  ") << folder << '\n';
    }
    if (seen.empty()) {
        io.out << "  no engine of this program is registered; register the server with "
                  "/RegServer\n";
        return false;
    }
    io.out << "  " << missing << " of " << seen.size()
           << " missing; Configure marks those directions with Suppress = 1\n";
    return true;
}

}  // namespace

int RunCheck(HostIo& io) {
    const bool listening = BackendListening();
    io.out << "Back end at " << BackendEndpoint() << ": "
           << (listening ? "listening" : "NOT listening") << '\n';
    const bool pipelinesAnswer = listening && CheckPipelines(io);
    const bool registered = CheckModelFolders(io);
    io.out << std::flush;
    if (!listening) {
        Complain(io, "back end down: nothing listens on " + BackendEndpoint());
        return kExitBackendDown;
    }
    if (!registered) {
        return kExitNotRegistered;
    }
    return pipelinesAnswer ? kExitOk : kExitChunkErrors;
}

}  // namespace host
