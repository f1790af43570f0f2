// OpenAiChatUpstream: an OpenAI-compatible chat-completions endpoint (what
// local large-language-model servers offer) asked for a translation alone.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "bridge/http_client.h"
#include "bridge/upstream.h"

namespace bridge {

class OpenAiChatUpstream final : public Upstream {
  public:
    OpenAiChatUpstream(const UpstreamSettings& settings, std::shared_ptr<HttpClient> client);
    const std::string& Describe() const override { return description_; }
    std::string Translate(std::string_view text, std::string_view from,
                          std::string_view to) override;

  private:
    UpstreamSettings settings_;
    std::shared_ptr<HttpClient> client_;
    std::string description_;
};

// The system prompt for one pair of language codes ("de", "en", ...): names
// the languages in English and asks for the translation alone.
std::string TranslationPrompt(std::string_view from, std::string_view to);

}  // namespace bridge
