// The JSON document GET /status answers: version, directions with their
// routes, upstreams with their last result, cache and request counts.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bridge/translation_cache.h"
#include "bridge/upstream.h"

namespace bridge {

struct StatusInputs {
    std::string version;
    const std::map<std::string, std::vector<RouteStep>>* routes = nullptr;
    std::vector<UpstreamState> upstreams;
    CacheStats cache;
    std::map<int, std::uint64_t> requestsByStatus;
};

std::string StatusDocument(const StatusInputs& inputs);

}  // namespace bridge
