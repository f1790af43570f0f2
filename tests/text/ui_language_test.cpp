#include "text/ui_language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "platform/locale.h"
#include "text/exceptions.h"

namespace {

struct CodeCase {
    std::u16string code;
    LanguageId expected;
};

TEST(LanguageIdFromCode, EveryCodeAndNearMisses) {
    const CodeCase cases[] = {
        {u"ar", LanguageId::Arabic},
        {u"zh", LanguageId::Chinese},
        {u"nl", LanguageId::Dutch},
        {u"en", LanguageId::English},
        {u"fa", LanguageId::Persian},
        {u"fr", LanguageId::French},
        {u"de", LanguageId::German},
        {u"he", LanguageId::Hebrew},
        {u"id", LanguageId::Indonesian},
        {u"it", LanguageId::Italian},
        {u"ja", LanguageId::Japanese},
        {u"ko", LanguageId::Korean},
        {u"ps", LanguageId::Pashto},
        {u"pl", LanguageId::Polish},
        {u"pt", LanguageId::Portuguese},
        {u"ru", LanguageId::Russian},
        {u"es", LanguageId::Spanish},
        {u"tl", LanguageId::Tagalog},
        {u"tr", LanguageId::Turkish},
        {u"uk", LanguageId::Ukrainian},
        {u"ur", LanguageId::Urdu},
        // Anything else is English.
        {u"", LanguageId::English},
        {u"AR", LanguageId::English},
        {u"Ar", LanguageId::English},
        {u"de-DE", LanguageId::English},
        {u"de ", LanguageId::English},
        {u" de", LanguageId::English},
        {u"d", LanguageId::English},
        {u"xx", LanguageId::English},
        {std::u16string(u"de\0", 3), LanguageId::English},
    };
    for (const CodeCase& c : cases) {
        EXPECT_EQ(LanguageIdFromCode(c.code), c.expected)
            << std::string(c.code.begin(), c.code.end());
    }
    EXPECT_EQ(static_cast<int>(LanguageIdFromCode(u"uk")), 20);
    EXPECT_EQ(static_cast<int>(LanguageIdFromCode(u"ur")), 21);
    EXPECT_EQ(static_cast<int>(LanguageIdFromCode(u"fa")), 5);
}

TEST(UiLanguageFromLcid, OnlyLanguagesWithTexts) {
    struct Case {
        LCID lcid;
        LanguageId expected;
    };
    for (const Case& c : {Case{0x0804, LanguageId::Chinese}, Case{0x0404, LanguageId::Chinese},
                          Case{0x0413, LanguageId::Dutch}, Case{0x0813, LanguageId::Dutch},
                          Case{0x0409, LanguageId::English}, Case{0x0809, LanguageId::English},
                          Case{0x040C, LanguageId::French}, Case{0x0C0C, LanguageId::French},
                          Case{0x0407, LanguageId::German}, Case{0x0C07, LanguageId::German},
                          Case{0x0410, LanguageId::Italian}, Case{0x0416, LanguageId::Portuguese},
                          Case{0x0816, LanguageId::Portuguese}, Case{0x0C0A, LanguageId::Spanish},
                          Case{0x040A, LanguageId::Spanish},
                          // No texts: English.
                          Case{0x0411, LanguageId::English}, Case{0x0401, LanguageId::English},
                          Case{0x0419, LanguageId::English}, Case{0x0408, LanguageId::English},
                          // Sort bits above the language id are ignored.
                          Case{0x00010407, LanguageId::German}}) {
        EXPECT_EQ(UiLanguageFromLcid(c.lcid), c.expected) << std::hex << c.lcid;
    }
}

TEST(UiLanguageFromUserLocale, FollowsThePlatformLocale) {
    EXPECT_EQ(UiLanguageFromUserLocale(), UiLanguageFromLcid(GetUserDefaultLCID()));
}

TEST(ScopedUiLanguage, RestoresOnReturnAndOnException) {
    const LanguageId before = currentUiLanguage.load();
    {
        ScopedUiLanguage outer(LanguageId::German);
        EXPECT_EQ(currentUiLanguage.load(), LanguageId::German);
        {
            ScopedUiLanguage inner(LanguageId::Chinese);
            EXPECT_EQ(currentUiLanguage.load(), LanguageId::Chinese);
        }
        EXPECT_EQ(currentUiLanguage.load(), LanguageId::German);
    }
    EXPECT_EQ(currentUiLanguage.load(), before);

    try {
        ScopedUiLanguage french(LanguageId::French);
        throw StringException("boom");
    } catch (const QuillonException&) {
        EXPECT_EQ(currentUiLanguage.load(), before);
    }
    EXPECT_THROW(
        {
            ScopedUiLanguage spanish(LanguageId::Spanish);
            throw std::runtime_error("foreign");
        },
        std::runtime_error);
    EXPECT_EQ(currentUiLanguage.load(), before);
}

#ifndef _WIN32
// Sets one environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (had_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

TEST(UiLanguageFromUserLocale, UsesTheLocaleOverride) {
    SetUserDefaultLCIDForTesting(0x0407);
    EXPECT_EQ(UiLanguageFromUserLocale(), LanguageId::German);
    SetUserDefaultLCIDForTesting(0x0411);
    EXPECT_EQ(UiLanguageFromUserLocale(), LanguageId::English);
    SetUserDefaultLCIDForTesting(0x0804);
    EXPECT_EQ(UiLanguageFromUserLocale(), LanguageId::Chinese);
    SetUserDefaultLCIDForTesting(0);
}

TEST(UiLanguageFromUserLocale, ReadsTheEnvironmentInOrder) {
    ScopedEnv all("LC_ALL", nullptr);
    ScopedEnv messages("LC_MESSAGES", "fr_CA.UTF-8");
    ScopedEnv lang("LANG", "de_DE.UTF-8");
    EXPECT_EQ(GetUserDefaultLCID(), 0x0C0Cu);
    EXPECT_EQ(UiLanguageFromUserLocale(), LanguageId::French);
    {
        ScopedEnv allSet("LC_ALL", "nl_BE");
        EXPECT_EQ(GetUserDefaultLCID(), 0x0813u);
        EXPECT_EQ(UiLanguageFromUserLocale(), LanguageId::Dutch);
    }
    {
        ScopedEnv emptyMessages("LC_MESSAGES", "");
        EXPECT_EQ(UiLanguageFromUserLocale(), LanguageId::German);
    }
}

TEST(LcidFromLocaleName, NamesToIdentifiers) {
    struct Case {
        const char* name;
        LCID expected;
    };
    for (const Case& c :
         {Case{"de_DE.UTF-8", 0x0407}, Case{"de_AT", 0x0C07}, Case{"de_BE.UTF-8@euro", 0x0407},
          Case{"de", 0x0407}, Case{"en_GB.UTF-8", 0x0809}, Case{"zh_CN.GB2312", 0x0804},
          Case{"zh_TW.UTF-8", 0x0404}, Case{"ja_JP.eucJP", 0x0411}, Case{"pt_BR", 0x0416},
          Case{"pt_PT", 0x0816}, Case{"es_ES", 0x0C0A}, Case{"el_GR.UTF-8", 0x0408},
          Case{"sr_RS@latin", 0x0409}, Case{"C", 0x0409}, Case{"C.UTF-8", 0x0409},
          Case{"POSIX", 0x0409}, Case{"", 0x0409}, Case{"_", 0x0409}, Case{"@", 0x0409}}) {
        EXPECT_EQ(LcidFromLocaleName(c.name), c.expected) << c.name;
    }
}
#endif

}  // namespace
