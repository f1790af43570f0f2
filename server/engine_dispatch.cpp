#include "server/engine_dispatch.h"

#include <map>
#include <mutex>
#include <string>

#include "platform/com_ptr.h"
#include "platform/wide.h"
#include "server/guids.h"

namespace server {
namespace {

// Member names compare without regard to case, as automation names do.
std::u16string FoldName(const OLECHAR* name) {
    std::u16string folded;
    for (const char16_t* p = FromPlatform(name); *p != 0; ++p) {
        folded += (*p >= u'a' && *p <= u'z') ? static_cast<char16_t>(*p - u'a' + u'A') : *p;
    }
    return folded;
}

}  // namespace

#ifdef _WIN32

namespace {

std::mutex g_dispatchMutex;
// Kept for the life of the process once loaded; a failed load is tried again.
ITypeInfo* g_typeInfo = nullptr;
std::map<std::u16string, DISPID> g_dispidCache;

HRESULT LoadTypeInfo(ITypeInfo** info) {
    std::lock_guard<std::mutex> lock(g_dispatchMutex);
    if (g_typeInfo == nullptr) {
        ITypeLib* library = nullptr;
        HRESULT hr = LoadRegTypeLib(kLibidDravikEngineLib, 3, 1, 0x0409, &library);
        if (FAILED(hr)) {
            return hr;
        }
        ComPtr<ITypeLib> owner(library);
        hr = library->GetTypeInfoOfGuid(kIidIQNSTranslationEngine, &g_typeInfo);
        if (FAILED(hr)) {
            g_typeInfo = nullptr;
            return hr;
        }
    }
    g_typeInfo->AddRef();
    *info = g_typeInfo;
    return S_OK;
}

}  // namespace

HRESULT EngineTypeInfo(ITypeInfo** info) {
    return LoadTypeInfo(info);
}

HRESULT EngineIdsOfNames(LPOLESTR* names, UINT count, DISPID* ids) {
    if (names == nullptr || ids == nullptr) {
        return E_POINTER;
    }
    if (count == 1 && names[0] != nullptr) {
        std::lock_guard<std::mutex> lock(g_dispatchMutex);
        const auto found = g_dispidCache.find(FoldName(names[0]));
        if (found != g_dispidCache.end()) {
            ids[0] = found->second;
            return S_OK;
        }
    }
    ITypeInfo* raw = nullptr;
    HRESULT hr = LoadTypeInfo(&raw);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<ITypeInfo> info(raw);
    hr = info->GetIDsOfNames(names, count, ids);
    if (SUCCEEDED(hr) && count == 1) {
        std::lock_guard<std::mutex> lock(g_dispatchMutex);
        g_dispidCache.emplace(FoldName(names[0]), ids[0]);
    }
    return hr;
}

HRESULT EngineInvoke(IQNSTranslationEngine* engine, DISPID id, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    ITypeInfo* raw = nullptr;
    const HRESULT hr = LoadTypeInfo(&raw);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<ITypeInfo> info(raw);
    return info->Invoke(engine, id, flags, params, result, exception, argumentError);
}

#else

namespace {

constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT kNoNamedArgs = static_cast<HRESULT>(0x80020007u);
constexpr HRESULT kBadParamCount = static_cast<HRESULT>(0x8002000Eu);

enum class Kind { Text, Object };

struct Member {
    const char16_t* name;
    DISPID id;
    WORD invokeKind;
    int argumentCount;
    Kind arguments[3];
    bool returnsText;
};

constexpr Member kMembers[] = {
    {u"FEATURES", 1, DISPATCH_PROPERTYGET, 1, {Kind::Text}, true},
    {u"TRANSLATE", 2, DISPATCH_METHOD, 3, {Kind::Text, Kind::Object, Kind::Object}, false},
    {u"TRANSLATETEXT", 3, DISPATCH_METHOD, 2, {Kind::Text, Kind::Text}, true},
    {u"ALTERNATEWORDS", 4, DISPATCH_PROPERTYGET, 2, {Kind::Text, Kind::Text}, true},
    {u"SETALTERNATEWORD", 5, DISPATCH_METHOD, 3, {Kind::Text, Kind::Text, Kind::Text}, true},
    {u"SCANSENTENCES", 6, DISPATCH_METHOD, 3, {Kind::Text, Kind::Object, Kind::Object}, false},
};

const Member* FindMember(DISPID id) {
    for (const Member& member : kMembers) {
        if (member.id == id) {
            return &member;
        }
    }
    return nullptr;
}

// Arguments arrive last first; a by-reference argument is read through, and
// one without a place to read is of no type at all.
bool ReadArgument(const VARIANT& value, Kind kind, BSTR& text, IDispatch*& object) {
    const VARTYPE type = static_cast<VARTYPE>(value.vt & ~VT_BYREF);
    const bool byRef = (value.vt & VT_BYREF) != 0;
    if (byRef && value.byref == nullptr) {
        return false;
    }
    if (kind == Kind::Text && type == VT_BSTR) {
        text = byRef ? *value.pbstrVal : value.bstrVal;
        return true;
    }
    if (kind == Kind::Object && (type == VT_DISPATCH || type == VT_EMPTY || type == VT_NULL)) {
        object = type == VT_DISPATCH
                     ? (byRef ? *reinterpret_cast<IDispatch**>(value.byref) : value.pdispVal)
                     : nullptr;
        return true;
    }
    return false;
}

}  // namespace

HRESULT EngineTypeInfo(ITypeInfo**) {
    return E_NOTIMPL;
}

HRESULT EngineIdsOfNames(LPOLESTR* names, UINT count, DISPID* ids) {
    if (names == nullptr || ids == nullptr) {
        return E_POINTER;
    }
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        // Only member names are known; parameter names are not.
        if (i == 0 && names[0] != nullptr) {
            const std::u16string folded = FoldName(names[0]);
            for (const Member& member : kMembers) {
                if (folded == member.name) {
                    ids[0] = member.id;
                }
            }
        }
        if (ids[i] == DISPID_UNKNOWN) {
            result = DISP_E_UNKNOWNNAME;
        }
    }
    return result;
}

HRESULT EngineInvoke(IQNSTranslationEngine* engine, DISPID id, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO*, UINT* argumentError) {
    const Member* member = FindMember(id);
    if (member == nullptr || (flags & member->invokeKind) == 0) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (params == nullptr || (params->cArgs != 0 && params->rgvarg == nullptr)) {
        return E_INVALIDARG;
    }
    if (params->cNamedArgs != 0) {
        return kNoNamedArgs;
    }
    if (static_cast<int>(params->cArgs) != member->argumentCount) {
        return kBadParamCount;
    }
    BSTR texts[3] = {};
    IDispatch* objects[3] = {};
    for (int i = 0; i < member->argumentCount; ++i) {
        const UINT position = params->cArgs - 1 - static_cast<UINT>(i);
        if (!ReadArgument(params->rgvarg[position], member->arguments[i], texts[i], objects[i])) {
            if (argumentError != nullptr) {
                *argumentError = position;
            }
            return kTypeMismatch;
        }
    }
    BSTR output = nullptr;
    HRESULT hr = S_OK;
    switch (id) {
        case 1:
            hr = engine->get_Features(texts[0], &output);
            break;
        case 2:
            hr = engine->Translate(texts[0], objects[1], objects[2]);
            break;
        case 3:
            hr = engine->TranslateText(texts[0], texts[1], &output);
            break;
        case 4:
            hr = engine->get_AlternateWords(texts[0], texts[1], &output);
            break;
        case 5:
            hr = engine->SetAlternateWord(texts[0], texts[1], texts[2], &output);
            break;
        case 6:
            hr = engine->ScanSentences(texts[0], objects[1], objects[2]);
            break;
    }
    if (result != nullptr) {
        VariantInit(result);
        if (member->returnsText && SUCCEEDED(hr)) {
            result->vt = VT_BSTR;
            result->bstrVal = output;
            output = nullptr;
        }
    }
    SysFreeString(output);
    return hr;
}

#endif

}  // namespace server
