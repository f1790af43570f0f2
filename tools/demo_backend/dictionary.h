// A direction's word list for the demo back end: words and short phrases of
// the source language with their translations, loaded from a TSV file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace demo_backend {

class Dictionary {
  public:
    // Lines "source<TAB>translation"; "#" starts a comment line; blank lines
    // are skipped. Sources are folded to lower case; the first entry of a
    // source wins. Returns the number of the first malformed line, or 0.
    std::size_t Load(std::string_view text);

    // The translation of a lower-case word or phrase (words joined by one blank).
    std::optional<std::string_view> Find(std::string_view folded) const;

    std::size_t Size() const { return entries_.size(); }
    std::size_t LongestPhrase() const { return longestPhrase_; }

  private:
    std::unordered_map<std::string, std::string> entries_;
    std::size_t longestPhrase_ = 1;  // in words
};

// Lower case for ASCII and the Latin-1 capitals (Ä, È, Ü, ...); other
// characters are kept. Works on UTF-8.
std::string FoldCase(std::string_view text);

}  // namespace demo_backend
