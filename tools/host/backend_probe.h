// Direct looks at the back end, bypassing the engine: the engine turns a
// missing back end into empty translations, so the host asks for itself.
#pragma once

#include <string>
#include <string_view>

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

}  // namespace host
