// The native build's late-bound calls: arguments a caller got wrong are
// refused before anything is read through them.
#ifndef _WIN32

#include "server/engine_dispatch.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/com_ptr.h"
#include "platform/wide.h"
#include "server/class_factory.h"
#include "server/guids.h"

namespace {

constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(0x80020005u);
constexpr DISPID kTranslateText = 3;

VARIANT ByRef(VARTYPE type, void* place) {
    VARIANT value;
    VariantInit(&value);
    value.vt = static_cast<VARTYPE>(type | VT_BYREF);
    value.byref = place;
    return value;
}

TEST(EngineDispatch, ByReferenceArgumentsAreReadOnlyWhenTheyPointSomewhere) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ComPtr<IQNSTranslationEngine> engine;
    ASSERT_EQ(server::TranslationEngineClassFactory().CreateInstance(
                  nullptr, kIidIQNSTranslationEngine, engine.put_void()),
              S_OK);
    std::u16string optionsText = u"<t:Option Name=\"SourceLanguage\">en</t:Option>";
    std::u16string chunkText = u"x";
    BSTR options = SysAllocString(ToPlatform(optionsText.c_str()));
    BSTR chunk = SysAllocString(ToPlatform(chunkText.c_str()));

    // Arguments arrive last first: rgvarg[1] is the options, rgvarg[0] the text.
    struct Case {
        void* optionsPlace;
        void* chunkPlace;
        HRESULT expected;
        UINT argumentError;
    };
    const Case cases[] = {
        {&options, &chunk, S_OK, 99},
        {nullptr, &chunk, kTypeMismatch, 1},
        {&options, nullptr, kTypeMismatch, 0},
    };
    for (const Case& c : cases) {
        VARIANT arguments[] = {ByRef(VT_BSTR, c.chunkPlace), ByRef(VT_BSTR, c.optionsPlace)};
        DISPPARAMS params = {arguments, nullptr, 2, 0};
        VARIANT result;
        VariantInit(&result);
        UINT argumentError = 99;
        EXPECT_EQ(server::EngineInvoke(engine.get(), kTranslateText, DISPATCH_METHOD, &params,
                                       &result, nullptr, &argumentError),
                  c.expected);
        EXPECT_EQ(argumentError, c.argumentError);
        EXPECT_EQ(result.vt, c.expected == S_OK ? VT_BSTR : VT_EMPTY);
        VariantClear(&result);
    }

    // Arguments counted but not given.
    DISPPARAMS missing = {nullptr, nullptr, 2, 0};
    EXPECT_EQ(server::EngineInvoke(engine.get(), kTranslateText, DISPATCH_METHOD, &missing, nullptr,
                                   nullptr, nullptr),
              E_INVALIDARG);

    SysFreeString(chunk);
    SysFreeString(options);
    engine.reset();
    CoUninitialize();
}

}  // namespace

#endif
