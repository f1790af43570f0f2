// Move-only owner of a BSTR, freed with SysFreeString, and the conversions
// between BSTRs and the engine's wide text.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/com.h"
#include "platform/unit_search.h"
#include "platform/wide.h"

class UniqueBstr {
  public:
    UniqueBstr() = default;
    explicit UniqueBstr(BSTR adopted) : text_(adopted) {}
    ~UniqueBstr() { reset(); }
    UniqueBstr(UniqueBstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.text_, nullptr));
        }
        return *this;
    }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;

    // A new BSTR holding `text` whole (NULs included); empty when the
    // allocation fails or the text is too long for a BSTR.
    static UniqueBstr Copy(std::u16string_view text) {
        if (text.size() > 0x3FFFFFFEu) {
            return UniqueBstr();
        }
        return UniqueBstr(
            SysAllocStringLen(ToPlatform(text.data()), static_cast<UINT>(text.size())));
    }

    BSTR get() const { return text_; }
    explicit operator bool() const { return text_ != nullptr; }
    UINT length() const { return SysStringLen(text_); }

    // Frees any held string and returns the slot for an [out] parameter.
    BSTR* put() {
        reset();
        return &text_;
    }
    BSTR release() { return std::exchange(text_, nullptr); }
    void reset(BSTR adopted = nullptr) {
        BSTR old = std::exchange(text_, adopted);
        SysFreeString(old);
    }

  private:
    BSTR text_ = nullptr;
};

// A BSTR as engine text: null is empty, and the text ends at its first NUL.
// The view lives as long as the BSTR.
inline std::u16string_view TextViewUpToNul(BSTR text) {
    if (text == nullptr) {
        return {};
    }
    const char16_t* const units = FromPlatform(text);
    return std::u16string_view(units, FindUnit(units, SysStringLen(text), u'\0'));
}

inline std::u16string TextUpToNul(BSTR text) {
    return std::u16string(TextViewUpToNul(text));
}
