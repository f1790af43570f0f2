// The tool's own source and sink objects, handed to the engine's Translate.
// Their calls come from the engine's worker (in process) or from COM's threads
// (out of process), one at a time, while the tool's thread waits in Translate.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/automation_object.h"
#include "jobs/host_interfaces.h"

namespace host {

// Hands out its chunks in order, then the empty string that ends the input.
class ChunkSource final
    : public AutomationObject<ChunkSource, ITranslationSource, IID_ITranslationSource> {
  public:
    explicit ChunkSource(std::vector<std::u16string> chunks);
    HRESULT STDMETHODCALLTYPE ReadChunk(BSTR* chunk) override;

  private:
    std::mutex mutex_;
    std::vector<std::u16string> chunks_;
    std::size_t next_ = 0;
};

// Passes each piece of markup to a handler and keeps the job's outcome.
class MarkupSink final
    : public AutomationObject<MarkupSink, ITranslationSink, IID_ITranslationSink> {
  public:
    // Returns false when the markup could not be taken (the job then fails).
    using Handler = std::function<bool(std::u16string_view markup)>;

    explicit MarkupSink(Handler handler);
    HRESULT STDMETHODCALLTYPE WriteChunk(BSTR markup) override;
    HRESULT STDMETHODCALLTYPE Complete(unsigned char completed) override;

    // The flag of the Complete call; empty when the engine never made one.
    std::optional<bool> Outcome() const;

  private:
    mutable std::mutex mutex_;
    Handler handler_;
    std::optional<bool> outcome_;
};

}  // namespace host
