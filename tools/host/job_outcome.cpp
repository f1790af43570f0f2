#include "tools/host/job_outcome.h"

#include "tools/host/engine_activation.h"
#include "tools/host/exit_codes.h"

namespace host {

std::optional<JobFailure> JobFailed(HRESULT result, std::optional<bool> outcome,
                                    const JobRecord& record, std::size_t chunksSent) {
    const std::string count =
        std::to_string(record.chunksWritten) + " of " + std::to_string(chunksSent) + " chunks";
    if (FAILED(result)) {
        return JobFailure{kExitJobFailed,
                          "the engine's Translate call failed with " + HresultText(result)};
    }
    if (!outcome) {
        return JobFailure{kExitJobFailed, "the job failed: the engine never reported its end"};
    }
    if (!*outcome) {
        return JobFailure{
            kExitJobFailed,
            "the job failed after " + count +
                (record.outputFailed ? ": the translation could not be written" : "")};
    }
    // The engine also completes with 1 when its input ends early, so a
    // reported success still has to account for every chunk.
    if (record.chunksWritten < chunksSent) {
        return JobFailure{kExitJobFailed, "the job ended early: only " + count + " came back"};
    }
    return std::nullopt;
}

}  // namespace host
