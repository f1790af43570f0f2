// LibreTranslateUpstream: a LibreTranslate server's POST /translate (JSON,
// plain text, the api_key when one is configured).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "bridge/upstream_common.h"

namespace bridge {

class LibreTranslateUpstream final : public HttpUpstream {
  public:
    LibreTranslateUpstream(const UpstreamSettings& settings, std::shared_ptr<HttpClient> client);
    std::string Translate(std::string_view text, std::string_view from,
                          std::string_view to) override;
};

}  // namespace bridge
