// One HTTP request as the test back end received it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace test_backend {

struct RecordedRequest {
    std::string head;         // request line and headers, byte for byte, through the blank line
    std::string requestLine;  // first line without its line end
    std::vector<std::pair<std::string, std::string>> headers;  // name, value without blanks around
    std::string body;  // the bytes after the head (as many as Content-Length announced)

    // Value of the first header with this name (ASCII case folded), if any.
    std::optional<std::string> Header(std::string_view name) const;
    // Request target of the request line ("/path?query"), empty if malformed.
    std::string Target() const;
};

// Parses the head of a request (everything before the blank line).
RecordedRequest ParseRequestHead(std::string head);

}  // namespace test_backend
