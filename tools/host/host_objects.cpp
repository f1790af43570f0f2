#include "tools/host/host_objects.h"

#include "platform/unique_bstr.h"
#include "text/exceptions.h"

namespace host {

ChunkSource::ChunkSource(std::vector<std::u16string> chunks) : chunks_(std::move(chunks)) {}

HRESULT ChunkSource::ReadChunk(BSTR* chunk) {
    if (chunk == nullptr) {
        return E_POINTER;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const std::u16string_view text =
        next_ < chunks_.size() ? std::u16string_view(chunks_[next_++]) : std::u16string_view();
    UniqueBstr copy = CopyToBstr(text);
    if (!copy) {
        *chunk = nullptr;
        return E_OUTOFMEMORY;
    }
    *chunk = copy.release();
    return S_OK;
}

MarkupSink::MarkupSink(Handler handler) : handler_(std::move(handler)) {}

HRESULT MarkupSink::WriteChunk(BSTR markup) {
    std::lock_guard<std::mutex> lock(mutex_);
    return CallGuarded([&] {
        const std::u16string_view text =
            markup == nullptr ? std::u16string_view()
                              : std::u16string_view(FromPlatform(markup), SysStringLen(markup));
        return handler_(text) ? S_OK : E_FAIL;
    });
}

HRESULT MarkupSink::Complete(unsigned char completed) {
    std::lock_guard<std::mutex> lock(mutex_);
    outcome_ = completed != 0;
    return S_OK;
}

std::optional<bool> MarkupSink::Outcome() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return outcome_;
}

}  // namespace host
