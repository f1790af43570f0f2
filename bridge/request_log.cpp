#include "bridge/request_log.h"

#include <cstdio>

#include <nlohmann/json.hpp>

namespace bridge {
namespace {

// A JSON string: quoted, escaped, invalid UTF-8 replaced, always one line.
std::string Quoted(std::string_view text) {
    return nlohmann::json(std::string(text))
        .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::string UtcTimestamp(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = time_point_cast<milliseconds>(when);
    const sys_days day = floor<days>(ms);
    const year_month_day date(day);
    const hh_mm_ss<milliseconds> time(ms - day);
    char text[32];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return text;
}

void RequestLog::Write(const RequestRecord& record) {
    std::string line = UtcTimestamp(std::chrono::system_clock::now());
    line += ' ' + record.what;
    line += " status=" + std::to_string(record.status);
    line += " in=" + std::to_string(record.charsIn);
    line += " out=" + std::to_string(record.charsOut);
    line += " ms=" + std::to_string(record.elapsed.count());
    line += record.cacheHit ? " cache=hit" : " cache=miss";
    if (!record.upstream.empty()) {
        line += " upstream=" + Quoted(record.upstream);
    }
    if (!record.reason.empty()) {
        line += " reason=" + Quoted(record.reason);
    }
    if (withText_ && !record.text.empty()) {
        line += " text=" + Quoted(record.text);
    }
    if (withText_ && !record.translation.empty()) {
        line += " translation=" + Quoted(record.translation);
    }
    line += '\n';
    std::lock_guard<std::mutex> lock(mutex_);
    out_ << line << std::flush;
}

void RequestLog::Note(std::string_view text) {
    std::string line =
        UtcTimestamp(std::chrono::system_clock::now()) + ' ' + std::string(text) + '\n';
    std::lock_guard<std::mutex> lock(mutex_);
    out_ << line << std::flush;
}

}  // namespace bridge
