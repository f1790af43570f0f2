// Direct looks at the back end, bypassing the engine: the engine turns a
// missing back end into empty translations, so the host asks for itself.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// "localhost:11000", as the engine reaches it.
std::string BackendEndpoint();

// True when something accepts connections at the engine's back-end address.
bool BackendListening();

struct PipelineAnswer {
    bool reached = false;  // a whole HTTP answer came back
    int status = 0;        // its status code
    std::string body;      // its body bytes
    std::string problem;   // why there is no answer, for a person
};

// Posts `body` to a pipeline path (no leading slash) the way the engine does.
PipelineAnswer PostToPipeline(const std::string& path, std::string_view body);

// What a qn-bridge back end tells at GET /status.
struct BridgeStatus {
    struct Upstream {
        std::string description;  // "LibreTranslate at 127.0.0.1:5000"
        std::uint64_t calls = 0;
        std::uint64_t failures = 0;
    };
    std::string version;
    std::set<std::string> directions;  // "de-en", ...
    std::vector<Upstream> upstreams;
    std::uint64_t cacheHits = 0;
};

// The back end's status; nullopt when it does not answer GET /status as a
// qn-bridge does (the original back end, a test back end).
std::optional<BridgeStatus> ReadBridgeStatus();

// Which upstream served a request, from the readings before and after it:
// "via X", "via X after Y failed", "from its cache" (the bridge's), or "" when the
// readings do not tell.
std::string ServedBy(const BridgeStatus& before, const BridgeStatus& after);

}  // namespace host
