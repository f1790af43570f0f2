// RequestLog: one line per request, for whoever runs the bridge. Never the
// text unless asked for, never a key.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

namespace bridge {

struct RequestRecord {
    std::string what;  // the direction ("de-en"), or method and path of any other request
    int status = 0;
    std::string reason;  // for failures
    std::size_t charsIn = 0;
    std::size_t charsOut = 0;
    std::string upstream;  // who translated it; empty when nobody did
    bool cacheHit = false;
    std::chrono::milliseconds elapsed{0};
    std::string_view text;         // written only with text logging on
    std::string_view translation;  // likewise
};

class RequestLog {
  public:
    RequestLog(std::ostream& out, bool withText) : out_(out), withText_(withText) {}

    void Write(const RequestRecord& record);
    // A line of its own (start, stop, skipped addresses), with the time.
    void Note(std::string_view text);

  private:
    std::ostream& out_;
    const bool withText_;
    std::mutex mutex_;
};

// "2024-05-01T12:00:00.123Z": UTC, to the millisecond.
std::string UtcTimestamp(std::chrono::system_clock::time_point when);

}  // namespace bridge
