// ApertiumUpstream: an Apertium APy server's /translate, plain text, with its
// marks for unknown words turned into the engine's "<unk> word </unk>".
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "bridge/upstream_common.h"

namespace bridge {

class ApertiumUpstream final : public HttpUpstream {
  public:
    ApertiumUpstream(const UpstreamSettings& settings, std::shared_ptr<HttpClient> client);
    std::string Translate(std::string_view text, std::string_view from,
                          std::string_view to) override;
};

// APy marks an unknown word as "*word": a '*' and what follows up to one of
// . , ; : * tab or space (APy's own pattern for removing the marks) or a line
// break. Each becomes "<unk> word </unk>"; a lone '*' stays.
std::string MarkUnknownWords(std::string_view apertiumText);

}  // namespace bridge
