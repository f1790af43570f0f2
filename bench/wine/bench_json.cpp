#include "bench/wine/bench_json.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace bench {
namespace {

// Enough digits to give back the measured double; JSON has no inf or nan.
std::string Number(double value) {
    if (!std::isfinite(value)) {
        return "0";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

void Field(std::string& out, const char* name, const std::string& value, bool last = false) {
    out += "      ";
    out += JsonString(name);
    out += ": ";
    out += value;
    out += last ? "\n" : ",\n";
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
    return out;
}

std::string ToBenchmarkJson(const std::vector<TimedRun>& runs,
                            const std::vector<std::pair<std::string, std::string>>& context) {
    std::string out = "{\n  \"context\": {\n";
    for (std::size_t i = 0; i < context.size(); ++i) {
        out += "    " + JsonString(context[i].first) + ": " + JsonString(context[i].second);
        out += i + 1 < context.size() ? ",\n" : "\n";
    }
    out += "  },\n  \"benchmarks\": [\n";
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const TimedRun& run = runs[i];
        out += "    {\n";
        Field(out, "name", JsonString(run.name));
        Field(out, "run_name", JsonString(run.name));
        Field(out, "run_type", JsonString("iteration"));
        Field(out, "repetitions", std::to_string(run.repetitions));
        Field(out, "repetition_index", std::to_string(run.repetitionIndex));
        Field(out, "threads", "1");
        Field(out, "iterations", "1");
        if (!run.error.empty()) {
            Field(out, "error_occurred", "true");
            Field(out, "error_message", JsonString(run.error));
        }
        Field(out, "real_time", Number(run.realSeconds * 1e3));
        Field(out, "cpu_time", Number(run.cpuSeconds * 1e3));
        Field(out, "time_unit", JsonString("ms"));
        const double rate =
            run.realSeconds > 0.0 ? static_cast<double>(run.items) / run.realSeconds : 0.0;
        Field(out, "items_per_second", Number(rate), true);
        out += i + 1 < runs.size() ? "    },\n" : "    }\n";
    }
    out += "  ]\n}\n";
    return out;
}

}  // namespace bench
