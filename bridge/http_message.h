// The HTTP messages the serving side reads and writes: a client's request,
// the reply to it, and a failure that is answered with a status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bridge {

struct ClientRequest {
    std::string method;   // "POST"
    std::string target;   // "/fcgiDispatch.de?cmd0=..."
    std::string version;  // "HTTP/1.0" or "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // Value of the first header with this name (ASCII case folded).
    std::optional<std::string> Header(std::string_view name) const;
};

struct Reply {
    int status = 200;
    std::string reason;  // one printable ASCII line; empty: the status's usual phrase
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
};

// A request answered with a 4xx/5xx status and a reason line.
class HttpError : public std::runtime_error {
  public:
    HttpError(int status, const std::string& reason)
        : std::runtime_error(reason), status_(status) {}
    int Status() const { return status_; }

  private:
    int status_;
};

inline constexpr std::size_t kMaxReasonChars = 120;

// The reason phrase a status line may carry: printable ASCII only (anything
// else becomes '?', line breaks a blank), at most kMaxReasonChars.
std::string OneLineReason(std::string_view text);

// An error reply whose reason and body both say what went wrong.
Reply ErrorReply(int status, std::string_view reason);

// Parses the request line and headers (the head without its blank line).
// Throws HttpError 400 when they are not an HTTP/1.0 or 1.1 request.
ClientRequest ParseRequestHead(std::string_view head);

// The declared body length: 0 without one. Throws HttpError 411 for chunked
// bodies and 400 for a malformed length.
std::uint64_t BodyLength(const ClientRequest& request);

// The whole reply as sent: status line in the request's version, headers
// (always "Connection: close"), body.
std::string SerializeReply(const Reply& reply, std::string_view version);

}  // namespace bridge
