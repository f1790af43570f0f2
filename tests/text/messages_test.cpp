#include "text/messages.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "text/code_pages.h"
#include "text/exceptions.h"
#include "text/ui_language.h"

namespace {

struct MessageCase {
    const char* label;
    LanguageId language;
    std::string failedCall;   // "CreateEvent" and error 1450
    std::string systemError;  // empty name and error 1450
    std::string hresult;      // E_NOINTERFACE
    friend void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.label; }
};

class LocalizedMessageTest : public testing::TestWithParam<MessageCase> {};

constexpr DWORD kError = 1450;  // 0x5AA

TEST_P(LocalizedMessageTest, ExactBytes) {
    const MessageCase& c = GetParam();
    ScopedUiLanguage language(c.language);
    EXPECT_EQ(SystemErrorException("CreateEvent", kError).Message(), c.failedCall);
    EXPECT_EQ(SystemErrorException("", kError).Message(), c.systemError);
    EXPECT_EQ(HResultException(E_NOINTERFACE).Message(), c.hresult);
}

// The wide form is the ANSI form decoded with the code page the texts were
// written in, so it reads the same whatever the system's code page.
TEST_P(LocalizedMessageTest, WideFormMatchesTheBytes) {
    const MessageCase& c = GetParam();
    const UINT codePage = c.language == LanguageId::Chinese ? 936 : 1252;
    ScopedUiLanguage language(c.language);
    EXPECT_EQ(WideMessage(SystemErrorException("CreateEvent", kError)),
              NarrowToWide(c.failedCall, codePage));
    EXPECT_EQ(WideMessage(SystemErrorException("", kError)), NarrowToWide(c.systemError, codePage));
    EXPECT_EQ(WideMessage(HResultException(E_NOINTERFACE)), NarrowToWide(c.hresult, codePage));
}

INSTANTIATE_TEST_SUITE_P(
    AllLanguages, LocalizedMessageTest,
    testing::Values(
        MessageCase{"English", LanguageId::English, "Error when calling CreateEvent, error = 5aa.",
                    "System error, error = 5aa.", "System error, hresult = 80004002."},
        MessageCase{"Chinese", LanguageId::Chinese,
                    "\xB5\xB1\xBA\xF4\xBD\xD0"
                    "CreateEvent\xB3\xF6\xCF\xD6\xB4\xED\xCE\xF3, \xB4\xED\xCE\xF3 = 5aa.",
                    "System error, error = 5aa.",
                    "\xCF\xB5\xCD\xB3\xB4\xED\xCE\xF3, hresult = 80004002."},
        MessageCase{"Dutch", LanguageId::Dutch,
                    "Fout tijdens het aanroepen CreateEvent, fout = 1450.",
                    "System fout, fout = 1450.", "Systeem fout, hresult = -2147467262."},
        MessageCase{
            "French", LanguageId::French, "Erreur en cours d'appel CreateEvent, erreur = 1450.",
            "Erreur syst\xE8me, erreur = 1450.", "Erreur syst\xE8me, r\xE9sultat = -2147467262."},
        MessageCase{"German", LanguageId::German,
                    "Fehler beim Aufruf von CreateEvent, Fehler = 1450.",
                    "Systemfehler, Fehler = 1450.", "Systemfehler, hresult = -2147467262."},
        MessageCase{"Italian", LanguageId::Italian,
                    "Errore durante la chiamata di CreateEvent, errore = 1450.",
                    "Errore di sistema, errore = 1450.",
                    "Errore di sistema, hresult = -2147467262."},
        MessageCase{"Portuguese", LanguageId::Portuguese,
                    "Erro ao chamar CreateEvent, erro = 1450.", "Erro de sistema, erro = 1450.",
                    "Erro de sistema, hresult = -2147467262."},
        MessageCase{"Spanish", LanguageId::Spanish, "Error al llamar a CreateEvent, error = 1450.",
                    "Error del sistema, error = 1450.",
                    "Error del sistema, hresult = -2147467262."},
        // Languages without texts of their own read English.
        MessageCase{"Japanese", LanguageId::Japanese,
                    "Error when calling CreateEvent, error = 5aa.", "System error, error = 5aa.",
                    "System error, hresult = 80004002."},
        MessageCase{"Urdu", LanguageId::Urdu, "Error when calling CreateEvent, error = 5aa.",
                    "System error, error = 5aa.", "System error, hresult = 80004002."}),
    [](const testing::TestParamInfo<MessageCase>& info) { return info.param.label; });

TEST(LocalizedMessage, WideChineseReadsAsWritten) {
    EXPECT_EQ(FormatLocalizedMessageWide(MessageKind::FailedCall, LanguageId::Chinese, u"F", 0x1F),
              u"\u5F53\u547C\u53EBF\u51FA\u73B0\u9519\u8BEF, \u9519\u8BEF = 1f.");
    EXPECT_EQ(FormatLocalizedMessageWide(MessageKind::HResult, LanguageId::French, u"", 5),
              u"Erreur syst\u00E8me, r\u00E9sultat = 5.");
}

TEST(LocalizedMessage, NumberEdges) {
    struct Case {
        LanguageId language;
        std::uint32_t code;
        const char* expected;
    };
    for (const Case& c :
         {Case{LanguageId::English, 0, "System error, error = 0."},
          Case{LanguageId::English, 0xFFFFFFFF, "System error, error = ffffffff."},
          Case{LanguageId::German, 0, "Systemfehler, Fehler = 0."},
          Case{LanguageId::German, 0xFFFFFFFF, "Systemfehler, Fehler = -1."},
          Case{LanguageId::German, 0x80000000, "Systemfehler, Fehler = -2147483648."},
          Case{LanguageId::German, 0x7FFFFFFF, "Systemfehler, Fehler = 2147483647."}}) {
        EXPECT_EQ(FormatLocalizedMessage(MessageKind::SystemError, c.language, "", c.code),
                  c.expected);
    }
}

// A name far beyond the buffer is cut, never overflowing it.
TEST(LocalizedMessage, LongNameIsCutToTheBuffer) {
    const std::string name(5000, 'N');
    const std::string narrow =
        FormatLocalizedMessage(MessageKind::FailedCall, LanguageId::English, name, 5);
    EXPECT_EQ(narrow.size(), kMaxMessageLength);
    EXPECT_EQ(narrow, ("Error when calling " + name).substr(0, kMaxMessageLength));
    const std::u16string wide = FormatLocalizedMessageWide(
        MessageKind::FailedCall, LanguageId::English, std::u16string(5000, u'N'), 5);
    EXPECT_EQ(wide.size(), kMaxMessageLength);

    const std::string fits(kMaxMessageLength - 40, 'n');
    const std::string whole =
        FormatLocalizedMessage(MessageKind::FailedCall, LanguageId::English, fits, 5);
    EXPECT_EQ(whole, "Error when calling " + fits + ", error = 5.");
}

TEST(LocalizedMessage, PercentInNameIsNotExpanded) {
    EXPECT_EQ(FormatLocalizedMessage(MessageKind::FailedCall, LanguageId::English, "%s%x%d", 1),
              "Error when calling %s%x%d, error = 1.");
}

}  // namespace
