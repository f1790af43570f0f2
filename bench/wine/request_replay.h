// The bare client's requests are the engine's own, replayed: the back end
// records each request byte for byte, and these helpers turn the records back
// into bytes to send and check that two runs sent the same.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/backend/recorded_request.h"

namespace bench {

// The request as it came over the wire: head through the blank line, then body.
std::string WireBytes(const test_backend::RecordedRequest& request);
std::vector<std::string> WireBytes(const std::vector<test_backend::RecordedRequest>& requests);

// Where `actual` departs from `expected` (count, or the first request whose
// bytes differ, with both heads), for a person; nullopt when they are equal.
std::optional<std::string> Difference(const std::vector<test_backend::RecordedRequest>& expected,
                                      const std::vector<test_backend::RecordedRequest>& actual);

// An HTTP/1.0 POST whose body is as long as its Content-Length says.
bool IsWholeHttp10Post(const test_backend::RecordedRequest& request);

}  // namespace bench
