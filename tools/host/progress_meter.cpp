#include "tools/host/progress_meter.h"

#include <cmath>
#include <cstdio>

namespace host {
namespace {

constexpr std::size_t kLongInputChunks = 10;
constexpr std::size_t kLongInputChars = 2000;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string Duration(double seconds) {
    const long whole = static_cast<long>(std::lround(seconds));
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    }
    return text;
}

}  // namespace

std::string FormatProgress(const ProgressState& state, std::size_t barWidth) {
    const double fraction =
        state.charsTotal == 0
            ? (state.chunksTotal == 0 ? 1.0
                                      : static_cast<double>(state.chunksDone) / state.chunksTotal)
            : static_cast<double>(state.charsDone) / state.charsTotal;
    const std::size_t filled =
        static_cast<std::size_t>(std::floor(std::fmin(fraction, 1.0) * barWidth));
    // Appended piece by piece: "literal + string" trips a false -Wrestrict in GCC 12 at -O3.
    std::string line(1, '[');
    line.append(filled, '#').append(barWidth - filled, '-').append("]  ");
    line += std::to_string(state.chunksDone) + "/" + std::to_string(state.chunksTotal);
    line += " chunks  " + std::to_string(state.charsDone) + "/" + std::to_string(state.charsTotal);
    line += " chars";
    if (state.charsDone == 0 || state.elapsedSeconds <= 0) {
        return line + "  -- chars/s  --:-- left";
    }
    const double rate = state.charsDone / state.elapsedSeconds;
    const double left = (state.charsTotal - state.charsDone) / rate;
    return line + "  " + std::to_string(std::lround(rate)) + " chars/s  " + Duration(left) +
           " left";
}

bool IsLongInput(std::size_t chunks, std::size_t chars) {
    return chunks > 1 && (chunks >= kLongInputChunks || chars >= kLongInputChars);
}

ProgressMeter::ProgressMeter(std::ostream& terminal, bool enabled, std::size_t chunksTotal,
                             std::size_t charsTotal)
    : terminal_(terminal),
      enabled_(enabled),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {
    state_.chunksTotal = chunksTotal;
    state_.charsTotal = charsTotal;
    Draw(true);
}

void ProgressMeter::ChunkDone(std::size_t chars) {
    ++state_.chunksDone;
    state_.charsDone += chars;
    Draw(state_.chunksDone == state_.chunksTotal);
}

void ProgressMeter::Clear() {
    if (enabled_ && shownLength_ > 0) {
        terminal_ << '\r' << std::string(shownLength_, ' ') << '\r' << std::flush;
        shownLength_ = 0;
    }
}

void ProgressMeter::Finish() {
    if (enabled_) {
        Draw(true);
        terminal_ << '\n' << std::flush;
        shownLength_ = 0;
        enabled_ = false;
    }
}

void ProgressMeter::Draw(bool force) {
    if (!enabled_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastDraw_ < kRedrawInterval && shownLength_ > 0) {
        return;
    }
    lastDraw_ = now;
    state_.elapsedSeconds = std::chrono::duration<double>(now - start_).count();
    std::string line = FormatProgress(state_);
    const std::size_t length = line.size();
    if (length < shownLength_) {
        line += std::string(shownLength_ - length, ' ');
    }
    terminal_ << '\r' << line << std::flush;
    shownLength_ = length;
}

}  // namespace host
