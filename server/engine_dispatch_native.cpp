#include "server/engine_dispatch.h"

#include <string>

#include "platform/unique_bstr.h"

namespace server {
namespace {

constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT kNoNamedArgs = static_cast<HRESULT>(0x80020007u);
constexpr HRESULT kBadParamCount = static_cast<HRESULT>(0x8002000Eu);

enum class Kind { Text, Object };
using enum Kind;

// The arguments of a call in declaration order; a member reads the slots of
// its own kinds.
struct Arguments {
    BSTR texts[3] = {};
    IDispatch* objects[3] = {};
};

// Each member's call through the vtable, from the arguments in declaration
// order; `output` receives the text a member returns.
HRESULT Features(IQNSTranslationEngine& engine, const Arguments& in, BSTR* output) {
    return engine.get_Features(in.texts[0], output);
}
HRESULT Translate(IQNSTranslationEngine& engine, const Arguments& in, BSTR*) {
    return engine.Translate(in.texts[0], in.objects[1], in.objects[2]);
}
HRESULT TranslateText(IQNSTranslationEngine& engine, const Arguments& in, BSTR* output) {
    return engine.TranslateText(in.texts[0], in.texts[1], output);
}
HRESULT AlternateWords(IQNSTranslationEngine& engine, const Arguments& in, BSTR* output) {
    return engine.get_AlternateWords(in.texts[0], in.texts[1], output);
}
HRESULT SetAlternateWord(IQNSTranslationEngine& engine, const Arguments& in, BSTR* output) {
    return engine.SetAlternateWord(in.texts[0], in.texts[1], in.texts[2], output);
}
HRESULT ScanSentences(IQNSTranslationEngine& engine, const Arguments& in, BSTR*) {
    return engine.ScanSentences(in.texts[0], in.objects[1], in.objects[2]);
}

struct Member {
    const char16_t* name;
    DISPID id;
    WORD invokeKind;
    int argumentCount;
    Kind arguments[3];
    bool returnsText;
    HRESULT (*call)(IQNSTranslationEngine& engine, const Arguments& in, BSTR* output);
};

constexpr Member kMembers[] = {
    {u"FEATURES", 1, DISPATCH_PROPERTYGET, 1, {Text}, true, &Features},
    {u"TRANSLATE", 2, DISPATCH_METHOD, 3, {Text, Object, Object}, false, &Translate},
    {u"TRANSLATETEXT", 3, DISPATCH_METHOD, 2, {Text, Text}, true, &TranslateText},
    {u"ALTERNATEWORDS", 4, DISPATCH_PROPERTYGET, 2, {Text, Text}, true, &AlternateWords},
    {u"SETALTERNATEWORD", 5, DISPATCH_METHOD, 3, {Text, Text, Text}, true, &SetAlternateWord},
    {u"SCANSENTENCES", 6, DISPATCH_METHOD, 3, {Text, Object, Object}, false, &ScanSentences},
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
            const std::u16string folded = FoldMemberName(names[0]);
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
    Arguments arguments;
    for (int i = 0; i < member->argumentCount; ++i) {
        const UINT position = params->cArgs - 1 - static_cast<UINT>(i);
        if (!ReadArgument(params->rgvarg[position], member->arguments[i], arguments.texts[i],
                          arguments.objects[i])) {
            if (argumentError != nullptr) {
                *argumentError = position;
            }
            return kTypeMismatch;
        }
    }
    UniqueBstr output;
    const HRESULT hr = member->call(*engine, arguments, output.put());
    if (result != nullptr) {
        VariantInit(result);
        if (member->returnsText && SUCCEEDED(hr)) {
            result->vt = VT_BSTR;
            result->bstrVal = output.release();
        }
    }
    return hr;
}

}  // namespace server
