#include "text/exceptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>

#include "text/ui_language.h"

namespace {

TEST(Exceptions, BaseIsUnknown) {
    EXPECT_EQ(QuillonException().Message(), "Unknown exception.");
    EXPECT_EQ(WideMessage(QuillonException()), u"Unknown exception.");
}

TEST(Exceptions, StringMessageIgnoresLanguage) {
    const StringException error("Unsupported language pair for hybrid engine");
    for (LanguageId language : {LanguageId::English, LanguageId::Chinese, LanguageId::French}) {
        ScopedUiLanguage scoped(language);
        EXPECT_EQ(error.Message(), "Unsupported language pair for hybrid engine");
        EXPECT_EQ(WideMessage(error), u"Unsupported language pair for hybrid engine");
    }
}

// Caught by reference to the base, the derived message is what comes out.
TEST(Exceptions, CaughtAsBaseKeepsDerivedMessage) {
    ScopedUiLanguage english(LanguageId::English);
    try {
        throw SystemErrorException("CreateEvent", 5);
    } catch (const QuillonException& error) {
        EXPECT_EQ(error.Message(), "Error when calling CreateEvent, error = 5.");
    }
    try {
        throw StringException("text");
    } catch (const QuillonException& error) {
        EXPECT_EQ(error.Message(), "text");
    }
}

// The language is read when the message is formatted, not when thrown.
TEST(Exceptions, MessageFollowsLanguageAtFormatTime) {
    const HResultException error(E_NOINTERFACE);
    {
        ScopedUiLanguage german(LanguageId::German);
        EXPECT_EQ(error.Message(), "Systemfehler, hresult = -2147467262.");
    }
    ScopedUiLanguage english(LanguageId::English);
    EXPECT_EQ(error.Message(), "System error, hresult = 80004002.");
}

TEST(Exceptions, ThrowIfFailed) {
    EXPECT_NO_THROW(ThrowIfFailed(S_OK));
    EXPECT_NO_THROW(ThrowIfFailed(S_FALSE));
    EXPECT_NO_THROW(ThrowIfFailed(0x7FFFFFFF));
    try {
        ThrowIfFailed(E_FAIL);
        FAIL() << "E_FAIL did not throw";
    } catch (const HResultException& error) {
        EXPECT_EQ(static_cast<std::uint32_t>(error.Result()), 0x80004005u);
    }
    EXPECT_THROW(ThrowIfFailed(static_cast<HRESULT>(0x80000000u)), HResultException);
}

TEST(Exceptions, SystemErrorKeepsItsParts) {
    const SystemErrorException error("CreateEvent", 1450);
    EXPECT_EQ(error.Function(), "CreateEvent");
    EXPECT_EQ(error.Error(), 1450u);
}

// What a COM method answers for each kind of exception it catches.
TEST(Exceptions, CaughtExceptionsBecomeTheirHResult) {
    struct Case {
        const char* name;
        std::function<void()> raise;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"failure code", [] { throw HResultException(E_NOINTERFACE); }, 0x80004002u},
        {"success code", [] { throw HResultException(S_FALSE); }, 0x80004005u},
        {"system error", [] { throw SystemErrorException("RegSetValueExA", 5); }, 0x80070005u},
        {"system error 0", [] { throw SystemErrorException("", 0); }, 0x80004005u},
        {"string", [] { throw StringException("text"); }, 0x80004005u},
        {"out of memory", [] { throw std::bad_alloc(); }, 0x8007000Eu},
        {"foreign", [] { throw 7; }, 0x80004005u},
    };
    for (const Case& c : cases) {
        const HRESULT hr = CallGuarded([&]() -> HRESULT {
            c.raise();
            return S_OK;
        });
        EXPECT_EQ(static_cast<std::uint32_t>(hr), c.expected) << c.name;
    }
}

}  // namespace
