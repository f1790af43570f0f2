// The six translation directions the test back end serves, each with a tiny
// word list, and the word-by-word translation that marks unknown words.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace test_backend {

struct Pipeline {
    std::string_view source;  // two-letter language codes
    std::string_view target;
    std::string_view path;  // request target without the leading "/"
    std::span<const std::pair<std::string_view, std::string_view>> words;
};

std::span<const Pipeline> Pipelines();

// The pipeline whose path equals the request target ("/" + path), byte for byte.
const Pipeline* FindPipeline(std::string_view requestTarget);

// Translates UTF-8 text word by word. Blanks, tabs and line breaks separate
// words and are kept; a word missing from the list (compared with ASCII case
// folded) is passed through as "<unk> " + word + " </unk>".
std::string TranslateWords(const Pipeline& pipeline, std::string_view text);

}  // namespace test_backend
