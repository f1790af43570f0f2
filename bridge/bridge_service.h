// BridgeService: what the bridge answers to each request: the request path
// picks the direction, the cache or the Translator gives the translation, and
// every request is logged and counted for /status.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/http_server.h"
#include "bridge/request_log.h"
#include "bridge/translation_cache.h"
#include "bridge/upstream.h"

namespace bridge {

class BridgeService : public RequestHandler {
  public:
    BridgeService(Translator& translator, TranslationCache& cache, RequestLog& log,
                  std::map<std::string, std::vector<RouteStep>> routes, std::string version);

    Reply Handle(const ClientRequest& request) override;
    void Refused(const Reply& reply, std::chrono::milliseconds elapsed) override;

    std::string StatusJson() const;

  private:
    Reply Translate(const ClientRequest& request, std::string_view direction,
                    RequestRecord& record);
    void Count(int status);

    Translator& translator_;
    TranslationCache& cache_;
    RequestLog& log_;
    const std::map<std::string, std::vector<RouteStep>> routes_;
    const std::string version_;
    mutable std::mutex mutex_;
    std::map<int, std::uint64_t> requestsByStatus_;
};

}  // namespace bridge
