// A host's source and sink for driving the engine the way a translation
// framework does. Calls may arrive on any thread (RPC threads when the engine
// runs out of process), so every record is guarded.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "jobs/automation_object.h"
#include "jobs/host_interfaces.h"
#include "platform/wide.h"

// Hands out its chunks in order, then an empty string.
class HostSource final
    : public AutomationObject<HostSource, ITranslationSource, IID_ITranslationSource> {
  public:
    explicit HostSource(std::vector<std::u16string> chunks, std::atomic<int>* clock = nullptr)
        : chunks_(std::move(chunks)), clock_(clock) {}

    HRESULT STDMETHODCALLTYPE ReadChunk(BSTR* chunk) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (clock_ != nullptr && firstReadAt_ < 0) {
            firstReadAt_ = clock_->fetch_add(1);
        }
        const std::u16string text = next_ < chunks_.size() ? chunks_[next_++] : std::u16string();
        *chunk = SysAllocStringLen(ToPlatform(text.data()), static_cast<UINT>(text.size()));
        return S_OK;
    }

    int FirstReadAt() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return firstReadAt_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::u16string> chunks_;
    size_t next_ = 0;
    std::atomic<int>* clock_;
    int firstReadAt_ = -1;
};

// Records every chunk of markup and the completion flags.
class HostSink final : public AutomationObject<HostSink, ITranslationSink, IID_ITranslationSink> {
  public:
    explicit HostSink(std::atomic<int>* clock = nullptr) : clock_(clock) {}

    HRESULT STDMETHODCALLTYPE WriteChunk(BSTR markup) override {
        std::lock_guard<std::mutex> lock(mutex_);
        chunks_.push_back(FromPlatform(markup, SysStringLen(markup)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Complete(unsigned char completed) override {
        std::lock_guard<std::mutex> lock(mutex_);
        completions_.push_back(completed);
        if (clock_ != nullptr) {
            completedAt_ = clock_->fetch_add(1);
        }
        return S_OK;
    }

    std::vector<std::u16string> Chunks() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return chunks_;
    }
    std::vector<int> Completions() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return completions_;
    }
    int CompletedAt() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return completedAt_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::u16string> chunks_;
    std::vector<int> completions_;
    std::atomic<int>* clock_;
    int completedAt_ = -1;
};
