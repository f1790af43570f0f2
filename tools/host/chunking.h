// How the tool cuts its input into the chunks it hands the engine. Blank
// stretches are never sent (an empty chunk would end the job) but kept as
// gaps, so the output keeps the input's layout around the translations.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

enum class ChunkMode { Line, Paragraph, Whole };

std::optional<ChunkMode> ChunkModeFromName(std::string_view name);

// gaps.size() == chunks.size() + 1: gaps[0] comes before the first chunk,
// gaps[i + 1] right after chunk i. Concatenating them in turn gives back the
// input (with CR LF line ends as LF).
struct ChunkLayout {
    std::vector<std::u16string> chunks;
    std::vector<std::u16string> gaps;

    std::size_t TotalChunkChars() const;
};

ChunkLayout SplitIntoChunks(std::u16string_view text, ChunkMode mode);

}  // namespace host
