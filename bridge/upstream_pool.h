// The routing pool: the bridge's Translator over the configured upstreams.
// Each direction's route is tried in order; an upstream that failed at
// connection level is skipped for its cool-down.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bridge/http_client.h"
#include "bridge/upstream.h"

namespace bridge {

// One configured upstream and the object that speaks to it.
struct PoolMember {
    UpstreamSettings settings;
    std::unique_ptr<Upstream> upstream;
};

using PoolClock = std::function<std::chrono::steady_clock::time_point()>;

// The upstream of the settings' kind, talking through `client`.
std::unique_ptr<Upstream> MakeUpstream(const UpstreamSettings& settings,
                                       std::shared_ptr<HttpClient> client);

// The Translator for the parsed configuration, with the platform's HTTP client.
std::unique_ptr<Translator> MakeTranslator(
    const std::vector<UpstreamSettings>& upstreams,
    const std::map<std::string, std::vector<RouteStep>>& directions);

// The same over given upstreams and clock (tests). A route step naming no
// member is a std::invalid_argument.
std::unique_ptr<Translator> MakeTranslator(
    std::vector<PoolMember> members,
    const std::map<std::string, std::vector<RouteStep>>& directions, PoolClock clock);

}  // namespace bridge
