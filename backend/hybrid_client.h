// The engine's client of the hybrid translation back end: turns one chunk of
// text into the markup handed to the host, for the language pair of its job.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "backend/translation_options.h"

class HybridClient {
  public:
    explicit HybridClient(TranslationOptions options) : options_(std::move(options)) {}

    const TranslationOptions& Options() const { return options_; }

    // A Translation element with the escaped translation; on failure the
    // escaped source instead, after an Errors element when there is a message.
    // Never throws for a failed exchange.
    std::u16string TranslateSegment(std::u16string_view source);

    // The features document (defined with the document's builder).
    std::u16string BuildFeatures();

  private:
    TranslationOptions options_;
};
