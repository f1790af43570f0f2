// The least a client of the back end can do per chunk: open a socket, write
// the request bytes, read the answer, close. The yardstick for the engine's
// cost per chunk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bench {

// The HTTP/1.0 request the engine sends for one chunk, byte for byte: POST to
// "/path" on "localhost:port" with the engine's agent, content type and length.
std::string BackendRequest(std::string_view path, std::uint16_t port, std::string_view body);

// One exchange with 127.0.0.1:port. The answer's body (after the blank line,
// as long as Content-Length says when it says), or nullopt when the exchange
// failed or the answer has no head.
std::optional<std::string> BareExchange(std::uint16_t port, std::string_view request);

}  // namespace bench
