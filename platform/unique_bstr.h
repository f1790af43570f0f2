// Owner of a BSTR, freed with SysFreeString, and the conversions between
// BSTRs and the engine's wide text.
#pragma once

#include <string>
#include <string_view>

#include "platform/com.h"
#include "platform/unique_resource.h"
#include "platform/unit_search.h"
#include "platform/wide.h"

using UniqueBstr = UniqueResource<BSTR, SysFreeString>;

// A new BSTR holding `text` whole (NULs included); empty when the allocation
// fails or the text is too long for a BSTR.
inline UniqueBstr CopyToBstr(std::u16string_view text) {
    if (text.size() > 0x3FFFFFFEu) {
        return UniqueBstr();
    }
    return UniqueBstr(SysAllocStringLen(ToPlatform(text.data()), static_cast<UINT>(text.size())));
}

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
