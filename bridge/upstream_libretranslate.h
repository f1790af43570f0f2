// LibreTranslateUpstream: a LibreTranslate server's POST /translate (JSON,
// plain text, the api_key when one is configured).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "bridge/http_client.h"
#include "bridge/upstream.h"

namespace bridge {

class LibreTranslateUpstream final : public Upstream {
  public:
    LibreTranslateUpstream(const UpstreamSettings& settings, std::shared_ptr<HttpClient> client);
    const std::string& Describe() const override { return description_; }
    std::string Translate(std::string_view text, std::string_view from,
                          std::string_view to) override;

  private:
    UpstreamSettings settings_;
    std::shared_ptr<HttpClient> client_;
    std::string description_;
};

}  // namespace bridge
