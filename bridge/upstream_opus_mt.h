// OpusMtUpstream: an OPUS-MT REST server's POST /api/translate.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "bridge/upstream_common.h"

namespace bridge {

class OpusMtUpstream final : public HttpUpstream {
  public:
    OpusMtUpstream(const UpstreamSettings& settings, std::shared_ptr<HttpClient> client);
    std::string Translate(std::string_view text, std::string_view from,
                          std::string_view to) override;
};

}  // namespace bridge
