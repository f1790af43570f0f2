// Judging a translate job once the engine's Translate call has returned.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace host {

// What the sink saw, chunk by chunk.
struct JobRecord {
    std::size_t chunksWritten = 0;
    std::size_t chunksWithErrors = 0;
    std::vector<std::size_t> emptyChunks;  // 1-based numbers
    bool outputFailed = false;
};

struct JobFailure {
    int code = 0;
    std::string message;
};

// The failure of the job as a whole, or nullopt when it completed with every
// chunk answered. `outcome` is the sink's completion flag, if it came.
std::optional<JobFailure> JobFailed(HRESULT result, std::optional<bool> outcome,
                                    const JobRecord& record, std::size_t chunksSent);

}  // namespace host
