#include "tools/demo_backend/dictionary.h"

#include <algorithm>

namespace demo_backend {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\r')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::string FoldCase(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 'A' && c <= 'Z') {
            folded += static_cast<char>(c + ('a' - 'A'));
        } else if (c == 0xC3 && i + 1 < text.size()) {
            // U+00C0..U+00DE are C3 80..C3 9E; U+00D7 (multiplication sign) is no letter.
            const auto next = static_cast<unsigned char>(text[i + 1]);
            folded += static_cast<char>(c);
            folded += static_cast<char>(next >= 0x80 && next <= 0x9E && next != 0x97 ? next + 0x20
                                                                                     : next);
            ++i;
        } else {
            folded += static_cast<char>(c);
        }
    }
    return folded;
}

std::size_t Dictionary::Load(std::string_view text) {
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (Trim(line).empty() || Trim(line).front() == '#') {
            continue;
        }
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) {
            return lineNumber;
        }
        const std::string_view source = Trim(line.substr(0, tab));
        const std::string_view target = Trim(line.substr(tab + 1));
        if (source.empty() || target.empty()) {
            return lineNumber;
        }
        std::string key = FoldCase(source);
        longestPhrase_ = std::max<std::size_t>(
            longestPhrase_, 1 + static_cast<std::size_t>(std::count(key.begin(), key.end(), ' ')));
        entries_.emplace(std::move(key), std::string(target));
    }
    return 0;
}

std::optional<std::string_view> Dictionary::Find(std::string_view folded) const {
    const auto found = entries_.find(std::string(folded));
    if (found == entries_.end()) {
        return std::nullopt;
    }
    return std::string_view(found->second);
}

}  // namespace demo_backend
