#include "tools/backend/recorded_request.h"

#include <algorithm>

namespace test_backend {
namespace {

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::optional<std::string> RecordedRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (key.size() == name.size() &&
            std::equal(key.begin(), key.end(), name.begin(),
                       [](char a, char b) { return Fold(a) == Fold(b); })) {
            return value;
        }
    }
    return std::nullopt;
}

std::string RecordedRequest::Target() const {
    std::size_t first = requestLine.find(' ');
    if (first == std::string::npos) {
        return {};
    }
    std::size_t second = requestLine.find(' ', first + 1);
    return requestLine.substr(first + 1,
                              second == std::string::npos ? std::string::npos : second - first - 1);
}

RecordedRequest ParseRequestHead(std::string head) {
    RecordedRequest request;
    std::string_view text(head);
    std::size_t position = 0;
    bool first = true;
    while (position < text.size()) {
        std::size_t end = text.find('\n', position);
        std::string_view line = text.substr(
            position, end == std::string_view::npos ? std::string_view::npos : end - position);
        position = end == std::string_view::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (first) {
            request.requestLine = std::string(line);
            first = false;
            continue;
        }
        if (line.empty()) {
            break;
        }
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        request.headers.emplace_back(std::string(Trim(line.substr(0, colon))),
                                     std::string(Trim(line.substr(colon + 1))));
    }
    request.head = std::move(head);
    return request;
}

}  // namespace test_backend
