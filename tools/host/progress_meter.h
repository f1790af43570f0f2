// The progress line the translate command keeps on stderr while a long input
// is translated: chunks and characters done, rate and time left.
#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

namespace host {

struct ProgressState {
    std::size_t chunksDone = 0;
    std::size_t chunksTotal = 0;
    std::size_t charsDone = 0;
    std::size_t charsTotal = 0;
    double elapsedSeconds = 0;
};

// One line without line end, e.g.
// "[######------]  3/12 chunks  1200/4800 chars  400 chars/s  0:09 left".
std::string FormatProgress(const ProgressState& state, std::size_t barWidth = 24);

// Whether an input is worth a progress line: more than one chunk and either
// many chunks or many characters.
bool IsLongInput(std::size_t chunks, std::size_t chars);

// Draws FormatProgress in place on a terminal; does nothing when disabled.
class ProgressMeter {
  public:
    ProgressMeter(std::ostream& terminal, bool enabled, std::size_t chunksTotal,
                  std::size_t charsTotal);

    void ChunkDone(std::size_t chars);
    // Wipes the line, so that other output can be written to the terminal.
    void Clear();
    void Finish();

  private:
    void Draw(bool force);

    std::ostream& terminal_;
    bool enabled_;
    ProgressState state_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
    std::size_t shownLength_ = 0;
};

}  // namespace host
