#include "bench/wine/request_replay.h"

namespace bench {

std::string WireBytes(const test_backend::RecordedRequest& request) {
    return request.head + request.body;
}

std::vector<std::string> WireBytes(const std::vector<test_backend::RecordedRequest>& requests) {
    std::vector<std::string> bytes;
    bytes.reserve(requests.size());
    for (const test_backend::RecordedRequest& request : requests) {
        bytes.push_back(WireBytes(request));
    }
    return bytes;
}

std::optional<std::string> Difference(const std::vector<test_backend::RecordedRequest>& expected,
                                      const std::vector<test_backend::RecordedRequest>& actual) {
    if (expected.size() != actual.size()) {
        return std::to_string(actual.size()) + " requests arrived, " +
               std::to_string(expected.size()) + " expected";
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].head != actual[i].head) {
            return "request " + std::to_string(i) + " has another head:\n" + actual[i].head +
                   "expected:\n" + expected[i].head;
        }
        if (expected[i].body != actual[i].body) {
            return "request " + std::to_string(i) + " has another body";
        }
    }
    return std::nullopt;
}

bool IsWholeHttp10Post(const test_backend::RecordedRequest& request) {
    const std::string& line = request.requestLine;
    constexpr std::string_view kMethod = "POST ";
    constexpr std::string_view kVersion = " HTTP/1.0";
    if (line.size() < kMethod.size() + kVersion.size() || line.rfind(kMethod, 0) != 0 ||
        line.compare(line.size() - kVersion.size(), kVersion.size(), kVersion) != 0) {
        return false;
    }
    const std::optional<std::string> length = request.Header("Content-Length");
    return length && *length == std::to_string(request.body.size());
}

}  // namespace bench
