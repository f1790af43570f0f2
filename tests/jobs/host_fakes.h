// Scripted stand-ins for the host's source and sink, and a shared log of the
// calls they receive in the order they arrive.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jobs/automation_object.h"
#include "jobs/host_interfaces.h"
#include "platform/com.h"
#include "platform/com_ptr.h"
#include "platform/unique_bstr.h"
#include "platform/wide.h"

namespace jobs_test {

// Wide text for logs and messages: ASCII as is, NUL as "\0", the rest as \uXXXX.
inline std::string Printable(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) {
        if (c == 0) {
            out += "\\0";
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHex[(c >> shift) & 0xF];
            }
        }
    }
    return out;
}

class CallLog {
  public:
    void Add(std::string entry) {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> Entries() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return entries_;
    }
    // Position of the first entry equal to `entry`, or -1.
    int IndexOf(std::string_view entry) const {
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i] == entry) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

// One answer of the fake source: the result code and the text it hands out
// (null BSTR when `null` is set).
struct Read {
    HRESULT result = S_OK;
    std::u16string text;
    bool null = false;
};

// Logs "<name>:read" for every ReadChunk; answers from its script, then with
// empty strings. `beforeRead` (optional) runs first with the read's index.
class FakeSource final
    : public AutomationObject<FakeSource, ITranslationSource, IID_ITranslationSource> {
  public:
    FakeSource(std::string name, CallLog& log, std::vector<Read> script)
        : name_(std::move(name)), log_(log), script_(std::move(script)) {}

    std::function<void(int index)> beforeRead;
    bool logReleases = false;  // logs "<name>:release" for every Release

    ULONG STDMETHODCALLTYPE Release() override {
        if (logReleases) {
            log_.Add(name_ + ":release");
        }
        return AutomationObject::Release();
    }

    HRESULT STDMETHODCALLTYPE ReadChunk(BSTR* chunk) override {
        const int index = reads_++;
        if (beforeRead) {
            beforeRead(index);
        }
        log_.Add(name_ + ":read");
        const Read answer = index < static_cast<int>(script_.size()) ? script_[index] : Read{};
        *chunk = answer.null ? nullptr : CopyToBstr(answer.text).release();
        return answer.result;
    }

  private:
    friend class AutomationObject<FakeSource, ITranslationSource, IID_ITranslationSource>;
    ~FakeSource() = default;

    std::string name_;
    CallLog& log_;
    std::vector<Read> script_;
    int reads_ = 0;
};

// Logs "<name>:write:<markup>" and "<name>:complete:<flag>". WriteChunk
// number `failWriteAt` (from 0) returns `failure`.
class FakeSink final : public AutomationObject<FakeSink, ITranslationSink, IID_ITranslationSink> {
  public:
    FakeSink(std::string name, CallLog& log, int failWriteAt = -1, HRESULT failure = E_FAIL)
        : name_(std::move(name)), log_(log), failWriteAt_(failWriteAt), failure_(failure) {}

    std::function<void()> onComplete;
    bool logReleases = false;  // logs "<name>:release" for every Release

    ULONG STDMETHODCALLTYPE Release() override {
        if (logReleases) {
            log_.Add(name_ + ":release");
        }
        return AutomationObject::Release();
    }

    HRESULT STDMETHODCALLTYPE WriteChunk(BSTR markup) override {
        log_.Add(name_ + ":write:" + Printable(FromPlatform(markup, SysStringLen(markup))));
        return writes_++ == failWriteAt_ ? failure_ : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Complete(unsigned char completed) override {
        log_.Add(name_ + ":complete:" + std::to_string(completed));
        if (onComplete) {
            onComplete();
        }
        return S_OK;
    }

  private:
    friend class AutomationObject<FakeSink, ITranslationSink, IID_ITranslationSink>;
    ~FakeSink() = default;

    std::string name_;
    CallLog& log_;
    int failWriteAt_;
    HRESULT failure_;
    int writes_ = 0;
};

inline constexpr IID kIidNothing = {
    0x0F0F0F0F, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}};

// An automation object that offers neither host interface.
class PlainDispatch final : public AutomationObject<PlainDispatch, IDispatch, kIidNothing> {
  private:
    friend class AutomationObject<PlainDispatch, IDispatch, kIidNothing>;
    ~PlainDispatch() = default;
};

// Takes the first reference to a freshly made object.
template <typename T>
ComPtr<T> Hold(T* object) {
    return ComPtr<T>::Retain(object);
}

// The number of references an object holds now.
inline ULONG ReferencesOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

}  // namespace jobs_test
