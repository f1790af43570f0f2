#include "platform/com.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// The byte-length prefix of a BSTR, just before its first character.
std::uint32_t* PrefixOf(BSTR text) {
    return reinterpret_cast<std::uint32_t*>(text) - 1;
}

struct Apartment {
    int depth = 0;
    DWORD mode = COINIT_MULTITHREADED;
};
thread_local Apartment t_apartment;

}  // namespace

BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr) {
        return nullptr;
    }
    UINT length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return SysAllocStringLen(text, length);
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    // The prefix holds the length in bytes, so it must fit in 32 bits.
    constexpr UINT kMaxLength =
        (std::numeric_limits<std::uint32_t>::max() - sizeof(std::uint32_t)) / sizeof(OLECHAR) - 1;
    if (length > kMaxLength) {
        return nullptr;
    }
    const std::size_t bytes = static_cast<std::size_t>(length) * sizeof(OLECHAR);
    void* block = std::malloc(sizeof(std::uint32_t) + bytes + sizeof(OLECHAR));
    if (block == nullptr) {
        return nullptr;
    }
    *static_cast<std::uint32_t*>(block) = static_cast<std::uint32_t>(bytes);
    BSTR result = reinterpret_cast<BSTR>(static_cast<std::uint32_t*>(block) + 1);
    if (text != nullptr) {
        std::memcpy(result, text, bytes);
    } else {
        std::memset(result, 0, bytes);
    }
    result[length] = 0;
    return result;
}

void SysFreeString(BSTR text) {
    if (text != nullptr) {
        std::free(PrefixOf(text));
    }
}

UINT SysStringLen(BSTR text) {
    return text == nullptr ? 0 : static_cast<UINT>(*PrefixOf(text) / sizeof(OLECHAR));
}

UINT SysStringByteLen(BSTR text) {
    return text == nullptr ? 0 : *PrefixOf(text);
}

void VariantInit(VARIANT* value) {
    if (value != nullptr) {
        std::memset(value, 0, sizeof(*value));
        value->vt = VT_EMPTY;
    }
}

HRESULT VariantClear(VARIANT* value) {
    if (value == nullptr) {
        return E_INVALIDARG;
    }
    switch (value->vt) {
        case VT_BSTR:
            SysFreeString(value->bstrVal);
            break;
        case VT_UNKNOWN:
        case VT_DISPATCH:
            if (value->punkVal != nullptr) {
                value->punkVal->Release();
            }
            break;
        default:
            break;
    }
    VariantInit(value);
    return S_OK;
}

HRESULT CoInitializeEx(void*, DWORD mode) {
    if (t_apartment.depth > 0 && t_apartment.mode != mode) {
        return RPC_E_CHANGED_MODE;
    }
    t_apartment.mode = mode;
    return t_apartment.depth++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_apartment.depth > 0) {
        --t_apartment.depth;
    }
}
