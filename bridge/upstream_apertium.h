// ApertiumUpstream: an Apertium APy server's /translate, plain text, with its
// marks for unknown words turned into the engine's "<unk> word </unk>".
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "bridge/http_client.h"
#include "bridge/upstream.h"

namespace bridge {

class ApertiumUpstream final : public Upstream {
  public:
    ApertiumUpstream(const UpstreamSettings& settings, std::shared_ptr<HttpClient> client);
    const std::string& Describe() const override { return description_; }
    std::string Translate(std::string_view text, std::string_view from,
                          std::string_view to) override;

  private:
    UpstreamSettings settings_;
    std::shared_ptr<HttpClient> client_;
    std::string description_;
};

// APy marks an unknown word as "*word": a '*' and what follows up to one of
// . , ; : * tab or space (APy's own pattern for removing the marks) or a line
// break. Each becomes "<unk> word </unk>"; a lone '*' stays.
std::string MarkUnknownWords(std::string_view apertiumText);

}  // namespace bridge
