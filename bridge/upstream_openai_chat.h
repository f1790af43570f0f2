// OpenAiChatUpstream: an OpenAI-compatible chat-completions endpoint (what
// local large-language-model servers offer) asked for a translation alone.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "bridge/upstream_common.h"

namespace bridge {

class OpenAiChatUpstream final : public HttpUpstream {
  public:
    OpenAiChatUpstream(const UpstreamSettings& settings, std::shared_ptr<HttpClient> client);
    std::string Translate(std::string_view text, std::string_view from,
                          std::string_view to) override;
};

// The system prompt for one pair of language codes ("de", "en", ...): names
// the languages in English and asks for the translation alone.
std::string TranslationPrompt(std::string_view from, std::string_view to);

}  // namespace bridge
