// The platform conversion functions as the engine calls them. The same checks
// run against the system's functions in the Windows build, which keeps the
// native stand-ins honest.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/locale.h"
#include "platform/wide.h"

namespace {

TEST(PlatformCodePage, MultiByteToWideCharSizesAndCopies) {
    PlatformChar out[8] = {};
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, out, 8), 4);
    EXPECT_EQ(std::u16string(FromPlatform(out)), u"abc");
    // Embedded zeros are converted like any byte.
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "a\0b", 3, out, 8), 3);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 'b');
}

TEST(PlatformCodePage, MultiByteToWideCharFailures) {
    PlatformChar out[2] = {};
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, out, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 0, out, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(4242, 0, "abc", 3, out, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xFF", 1, out, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(PlatformCodePage, InvalidUtf8BecomesReplacementCharacter) {
    PlatformChar out[4] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0,
                                  "a\xFF"
                                  "b",
                                  3, out, 4),
              3);
    EXPECT_EQ(out[1], 0xFFFD);
    EXPECT_EQ(out[2], 'b');
}

TEST(PlatformCodePage, DoubleByteCodePages) {
    PlatformChar out[4] = {};
    ASSERT_EQ(MultiByteToWideChar(936, 0, "\xD6\xD0", 2, out, 4), 1);
    EXPECT_EQ(out[0], 0x4E2D);
    ASSERT_EQ(MultiByteToWideChar(950, 0, "\xA4\xA4", 2, out, 4), 1);
    EXPECT_EQ(out[0], 0x4E2D);
    char bytes[8] = {};
    const std::u16string text = u"\u4E2D";
    ASSERT_EQ(WideCharToMultiByte(932, 0, ToPlatform(text.c_str()), 1, bytes, 8, nullptr, nullptr),
              2);
    EXPECT_EQ(std::string(bytes, 2), "\x92\x86");
}

TEST(PlatformCodePage, WideCharToMultiByteDefaultCharacter) {
    const std::u16string text = u"a\u4E2Db";
    char out[8] = {};
    BOOL used = FALSE;
    ASSERT_EQ(WideCharToMultiByte(1252, 0, ToPlatform(text.c_str()), 3, out, 8, nullptr, &used), 3);
    EXPECT_EQ(std::string(out, 3), "a?b");
    EXPECT_TRUE(used);
    used = FALSE;
    ASSERT_EQ(WideCharToMultiByte(1252, 0, ToPlatform(text.c_str()), 3, out, 8, "*", &used), 3);
    EXPECT_EQ(std::string(out, 3), "a*b");
    EXPECT_TRUE(used);
    ASSERT_EQ(WideCharToMultiByte(1252, 0, ToPlatform(u"ab"), 2, out, 8, nullptr, &used), 2);
    EXPECT_FALSE(used);
}

TEST(PlatformCodePage, WideCharToMultiByteFailures) {
    const std::u16string text = u"abc";
    char out[2] = {};
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(1252, 0, ToPlatform(text.c_str()), 3, out, 2, nullptr, nullptr),
              0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(
        WideCharToMultiByte(1252, 0, ToPlatform(text.c_str()), 3, nullptr, 0, nullptr, nullptr), 3);
    EXPECT_EQ(
        WideCharToMultiByte(1252, 0, ToPlatform(text.c_str()), -1, nullptr, 0, nullptr, nullptr),
        4);
}

TEST(PlatformCodePage, LoneSurrogateToUtf8) {
    const std::u16string text =
        u"a\xD800"
        u"b";
    char out[8] = {};
    ASSERT_EQ(
        WideCharToMultiByte(CP_UTF8, 0, ToPlatform(text.c_str()), 3, out, 8, nullptr, nullptr), 5);
    EXPECT_EQ(std::string(out, 5),
              "a\xEF\xBF\xBD"
              "b");
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, ToPlatform(text.c_str()), 3, out,
                                  8, nullptr, nullptr),
              0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

#ifndef _WIN32
class ScopedLocaleEnv {
  public:
    explicit ScopedLocaleEnv(const char* lang) {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            saved_[index_++] = value ? std::string(value) : std::string("\x01");
            unsetenv(name);
        }
        if (lang)
            setenv("LANG", lang, 1);
    }
    ~ScopedLocaleEnv() {
        int i = 0;
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            if (saved_[i] == "\x01") {
                unsetenv(name);
            } else {
                setenv(name, saved_[i].c_str(), 1);
            }
            ++i;
        }
    }
    ScopedLocaleEnv(const ScopedLocaleEnv&) = delete;
    ScopedLocaleEnv& operator=(const ScopedLocaleEnv&) = delete;

  private:
    std::string saved_[3];
    int index_ = 0;
};

TEST(PlatformCodePage, AnsiCodePageFromEnvironment) {
    struct Case {
        const char* lang;
        UINT expected;
    };
    for (const Case& c :
         {Case{nullptr, 1252},      Case{"C", 1252},           Case{"POSIX", 1252},
          Case{"C.UTF-8", 1252},    Case{"de_DE.UTF-8", 1252}, Case{"fr_FR", 1252},
          Case{"nl_NL", 1252},      Case{"it_IT", 1252},       Case{"es_ES", 1252},
          Case{"pt_BR", 1252},      Case{"en_US", 1252},       Case{"zh_CN.UTF-8", 936},
          Case{"zh_TW.UTF-8", 950}, Case{"el_GR", 1253},       Case{"tr_TR", 1254},
          Case{"he_IL", 1255},      Case{"ar_EG", 1256},       Case{"fa_IR", 1256},
          Case{"ur_PK", 1256},      Case{"ja_JP", 932},        Case{"ko_KR", 949},
          Case{"ru_RU", 1251},      Case{"pl_PL", 1250},       Case{"xx_YY", 1252}}) {
        ScopedLocaleEnv env(c.lang);
        EXPECT_EQ(GetACP(), c.expected) << (c.lang ? c.lang : "(unset)");
    }
}

TEST(PlatformCodePage, AnsiCodePageOverrideAndAcpAlias) {
    ScopedLocaleEnv env("ru_RU.UTF-8");
    SetAnsiCodePageForTesting(1253);
    EXPECT_EQ(GetACP(), 1253u);
    PlatformChar out[2] = {};
    // CP_ACP converts with the code page in force.
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xC1", 1, out, 2), 1);
    EXPECT_EQ(out[0], 0x0391);
    SetAnsiCodePageForTesting(0);
    EXPECT_EQ(GetACP(), 1251u);
}

TEST(PlatformLocale, OverrideAndEnvironment) {
    ScopedLocaleEnv env("ja_JP.UTF-8");
    EXPECT_EQ(GetUserDefaultLCID(), 0x0411u);
    SetUserDefaultLCIDForTesting(0x040C);
    EXPECT_EQ(GetUserDefaultLCID(), 0x040Cu);
    SetUserDefaultLCIDForTesting(0);
    EXPECT_EQ(GetUserDefaultLCID(), 0x0411u);
}
#endif

}  // namespace
