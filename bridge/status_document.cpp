#include "bridge/status_document.h"

#include <nlohmann/json.hpp>

namespace bridge {

std::string StatusDocument(const StatusInputs& inputs) {
    using Json = nlohmann::ordered_json;
    Json directions = Json::object();
    if (inputs.routes != nullptr) {
        for (const auto& [direction, route] : *inputs.routes) {
            Json steps = Json::array();
            for (const RouteStep& step : route) {
                steps.push_back(
                    {{"upstream", step.upstream}, {"from", step.from}, {"to", step.to}});
            }
            directions[direction] = std::move(steps);
        }
    }
    Json upstreams = Json::array();
    for (const UpstreamState& state : inputs.upstreams) {
        upstreams.push_back({{"name", state.name},
                             {"description", state.description},
                             {"last_result", state.lastResult},
                             {"last_status", state.lastStatus},
                             {"cooling_down", state.coolingDown},
                             {"calls", state.calls},
                             {"failures", state.failures}});
    }
    std::uint64_t total = 0;
    Json byStatus = Json::object();
    for (const auto& [status, count] : inputs.requestsByStatus) {
        byStatus[std::to_string(status)] = count;
        total += count;
    }
    const Json document = {
        {"version", inputs.version},
        {"directions", std::move(directions)},
        {"upstreams", std::move(upstreams)},
        {"cache",
         {{"entries", inputs.cache.entries},
          {"bytes", inputs.cache.bytes},
          {"max_bytes", inputs.cache.maxBytes},
          {"hits", inputs.cache.hits},
          {"misses", inputs.cache.misses}}},
        {"requests", {{"total", total}, {"by_status", std::move(byStatus)}}},
    };
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace bridge
