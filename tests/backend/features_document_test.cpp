#include "backend/features_document.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "backend/hybrid_client.h"
#include "config/config_prefs.h"
#include "tests/config/registry_scratch.h"
#include "text/ui_language.h"

namespace {

std::u16string Options(std::u16string_view uiLanguage) {
    return u"<t:Option Name=\"SourceLanguage\">ar</t:Option>"
           u"<t:Option Name=\"TranslationLanguage\">en</t:Option>"
           u"<t:Option Name=\"UILanguage\">" +
           std::u16string(uiLanguage) + u"</t:Option>";
}

// The whole document for English labels, byte for byte.
constexpr std::u16string_view kEnglishDocument =
    u"<Features>"
    u"&lt;VendorCode&gt;Dravik&lt;/VendorCode&gt;\n"
    u"&lt;SupportAlternateWord&gt;N&lt;/SupportAlternateWord&gt;\n"
    u"&lt;SupportsDictionaryBrowsing&gt;N&lt;/SupportsDictionaryBrowsing&gt;\n"
    u"&lt;IsCompositeEngine&gt;0&lt;/IsCompositeEngine&gt;\n"
    u"&lt;SupportCreatingUDs&gt;0&lt;/SupportCreatingUDs&gt;\n"
    u"&lt;SupportDeletingUDs&gt;0&lt;/SupportDeletingUDs&gt;\n"
    u"&lt;TopLevelFeatures&gt;"
    u"&lt;t:Option Name=\"MaximumDictionaries\"&gt;7&lt;/t:Option&gt;\n"
    u"&lt;t:Option Name=\"MaximumUserDictionaries\"&gt;0&lt;/t:Option&gt;"
    u"&lt;/TopLevelFeatures&gt;\n"
    u"&lt;FL&gt;"
    u"&lt;Name&gt;Input&lt;/Name&gt;\n"
    u"&lt;UIName&gt;Input&lt;/UIName&gt;\n"
    u"&lt;SourceLanguage&gt;1&lt;/SourceLanguage&gt;\n"
    u"&lt;F&gt;"
    u"&lt;Name&gt;HandleInputEMailPrefixes&lt;/Name&gt;\n"
    u"&lt;UIName&gt;Recognize email prefix quoting (e.g. '&gt;&gt;&gt;')&lt;/UIName&gt;\n"
    u"&lt;Type&gt;CheckBox&lt;/Type&gt;\n"
    u"&lt;DefaultValue&gt;1&lt;/DefaultValue&gt;\n"
    u"&lt;/F&gt;\n"
    u"&lt;/FL&gt;\n"
    u"</Features>\n";

// The same document with other (already escaped) labels.
std::u16string DocumentWithLabels(std::u16string_view list, std::u16string_view checkBox) {
    std::u16string document(kEnglishDocument);
    const std::u16string englishList = u"&lt;UIName&gt;Input&lt;/UIName&gt;";
    const std::u16string englishCheckBox =
        u"&lt;UIName&gt;Recognize email prefix quoting (e.g. '&gt;&gt;&gt;')&lt;/UIName&gt;";
    document.replace(document.find(englishCheckBox), englishCheckBox.size(),
                     u"&lt;UIName&gt;" + std::u16string(checkBox) + u"&lt;/UIName&gt;");
    document.replace(document.find(englishList), englishList.size(),
                     u"&lt;UIName&gt;" + std::u16string(list) + u"&lt;/UIName&gt;");
    return document;
}

class FeaturesDocumentTest : public ::testing::Test {
  protected:
    ScratchRegistry scratch;  // natively: a store of the test's own
};

TEST_F(FeaturesDocumentTest, EnglishDocumentIsExact) {
    EXPECT_EQ(QueryFeatures(Options(u"en")), kEnglishDocument);
}

struct LabelCase {
    const char* label;
    std::u16string_view code;
    std::u16string_view list;
    std::u16string_view checkBox;
};

class FeaturesLabels : public FeaturesDocumentTest,
                       public ::testing::WithParamInterface<LabelCase> {};

TEST_P(FeaturesLabels, FollowTheOptionsInterfaceLanguage) {
    EXPECT_EQ(QueryFeatures(Options(GetParam().code)),
              DocumentWithLabels(GetParam().list, GetParam().checkBox));
}

constexpr std::u16string_view kEnglishCheckBox =
    u"Recognize email prefix quoting (e.g. '&gt;&gt;&gt;')";

INSTANTIATE_TEST_SUITE_P(
    Languages, FeaturesLabels,
    ::testing::Values(
        LabelCase{"Chinese", u"zh", u"输入", u"识别邮件前缀引用 (e.g. '&gt;&gt;&gt;')"},
        LabelCase{"Dutch", u"nl", u"Invoer",
                  u"Herken email voorvoegsel quoting (e.g. '&gt;&gt;&gt;')"},
        LabelCase{"French", u"fr", u"Entrée",
                  u"Reconnaître les caractères de préfixe email (ex. &gt;&gt;&gt;)"},
        LabelCase{"German", u"de", u"Eingabe",
                  u"Email-Zitaten-Präfix erkennen (z.B. '&gt;&gt;&gt;')"},
        LabelCase{"Italian", u"it", u"Input",
                  u"Riconoscimento virgolette dei prefissi di posta elettronica (es. "
                  u"'&gt;&gt;&gt;')"},
        LabelCase{"Portuguese", u"pt", u"Entrada",
                  u"Reconhecer prefixo de e-mail (por exemplo \"&gt;&gt;&gt;\")"},
        LabelCase{"Spanish", u"es", u"Entrada",
                  u"Reconocer comillas de prefijo de correo electrónico (por ej. '&gt;&gt;&gt;')"},
        LabelCase{"ArabicHasNoLabels", u"ar", u"Input", kEnglishCheckBox},
        LabelCase{"JapaneseHasNoLabels", u"ja", u"Input", kEnglishCheckBox},
        LabelCase{"UpperCaseCode", u"DE", u"Input", kEnglishCheckBox},
        LabelCase{"CodeWithRegion", u"de-DE", u"Input", kEnglishCheckBox},
        LabelCase{"EmptyCode", u"", u"Input", kEnglishCheckBox},
        LabelCase{"Unknown", u"xx", u"Input", kEnglishCheckBox}),
    [](const ::testing::TestParamInfo<LabelCase>& info) { return info.param.label; });

TEST_F(FeaturesDocumentTest, OptionsWithoutInterfaceLanguageGiveEnglish) {
    EXPECT_EQ(QueryFeatures(u""), kEnglishDocument);
    EXPECT_EQ(QueryFeatures(u"<t:Option Name=\"SourceLanguage\">de</t:Option>"), kEnglishDocument);
    EXPECT_EQ(QueryFeatures(u"not options at all <t:Option Name="), kEnglishDocument);
}

TEST_F(FeaturesDocumentTest, InterfaceLanguageIsRestoredAfterTheQuery) {
    const ScopedUiLanguage caller(LanguageId::French);
    QueryFeatures(Options(u"de"));
    EXPECT_EQ(currentUiLanguage.load(), LanguageId::French);

    TranslationOptions options;
    options.SetFromText(Options(u"zh"));
    HybridClient client(options);
    EXPECT_EQ(client.BuildFeatures(),
              DocumentWithLabels(u"输入", u"识别邮件前缀引用 (e.g. '&gt;&gt;&gt;')"));
    EXPECT_EQ(currentUiLanguage.load(), LanguageId::French);
}

// Queries in different languages at once each get their own labels: the
// language override is held under the client lock.
TEST_F(FeaturesDocumentTest, SimultaneousQueriesKeepTheirLanguages) {
    const std::u16string german =
        DocumentWithLabels(u"Eingabe", u"Email-Zitaten-Präfix erkennen (z.B. '&gt;&gt;&gt;')");
    const std::u16string dutch =
        DocumentWithLabels(u"Invoer", u"Herken email voorvoegsel quoting (e.g. '&gt;&gt;&gt;')");
    std::vector<int> wrong(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                const bool isGerman = (t + i) % 2 == 0;
                if (QueryFeatures(Options(isGerman ? u"de" : u"nl")) !=
                    (isGerman ? german : dutch)) {
                    ++wrong[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

#ifndef _WIN32
// The technical-dictionary list is empty for every pair, so switching the
// feature on only adds the configuration reads.
TEST_F(FeaturesDocumentTest, DocumentIsTheSameWithTechnicalDictionariesOn) {
    ScratchRegistry::SetDword(HKEY_LOCAL_MACHINE, kTranslationServerKeyPath,
                              kSupportsTechnicalDictionariesValue, 1);
    if (!SupportsTechnicalDictionaries()) {
        GTEST_SKIP() << "the flags were fixed by an earlier test in this process";
    }
    EXPECT_EQ(QueryFeatures(Options(u"en")), kEnglishDocument);
}
#endif

TEST(SerializeFeaturesTest, WritesEveryRecordInItsPlace) {
    FeaturesDocument document;
    document.vendorCode = u"V";
    document.alternateWordSupport = 2;
    document.dictionaryBrowsingSupport = 1;
    document.isCompositeEngine = true;
    document.supportsCreatingUserDictionaries = true;
    document.supportsDeletingUserDictionaries = false;
    document.topLevelOptions = {{u"B", u"2"}, {u"A", u"1"}};
    FeatureList list{u"L", u"List", false, {}};
    list.features.push_back(Feature{u"C", u"Choice", u"Combo", u"x", {{u"x", u"X"}, {u"y", u"Y"}}});
    list.features.push_back(Feature{u"E", u"Edit", u"EditField", u"", {}});
    document.featureLists.push_back(list);
    document.technicalDictionaries = {{u"T1", u"Tech"}};
    document.userDictionaries = {u"U1", u"U2"};

    EXPECT_EQ(
        SerializeFeatures(document),
        u"<Features>"
        u"&lt;VendorCode&gt;V&lt;/VendorCode&gt;\n"
        u"&lt;SupportAlternateWord&gt;I&lt;/SupportAlternateWord&gt;\n"
        u"&lt;SupportsDictionaryBrowsing&gt;B&lt;/SupportsDictionaryBrowsing&gt;\n"
        u"&lt;IsCompositeEngine&gt;1&lt;/IsCompositeEngine&gt;\n"
        u"&lt;SupportCreatingUDs&gt;1&lt;/SupportCreatingUDs&gt;\n"
        u"&lt;SupportDeletingUDs&gt;0&lt;/SupportDeletingUDs&gt;\n"
        u"&lt;TopLevelFeatures&gt;&lt;t:Option Name=\"A\"&gt;1&lt;/t:Option&gt;\n"
        u"&lt;t:Option Name=\"B\"&gt;2&lt;/t:Option&gt;&lt;/TopLevelFeatures&gt;\n"
        u"&lt;FL&gt;&lt;Name&gt;L&lt;/Name&gt;\n&lt;UIName&gt;List&lt;/UIName&gt;\n"
        u"&lt;SourceLanguage&gt;0&lt;/SourceLanguage&gt;\n"
        u"&lt;F&gt;&lt;Name&gt;C&lt;/Name&gt;\n&lt;UIName&gt;Choice&lt;/UIName&gt;\n"
        u"&lt;Type&gt;Combo&lt;/Type&gt;\n&lt;DefaultValue&gt;x&lt;/DefaultValue&gt;\n"
        u"&lt;V&gt;&lt;Name&gt;x&lt;/Name&gt;\n&lt;UIName&gt;X&lt;/UIName&gt;\n&lt;/V&gt;\n"
        u"&lt;V&gt;&lt;Name&gt;y&lt;/Name&gt;\n&lt;UIName&gt;Y&lt;/UIName&gt;\n&lt;/V&gt;\n"
        u"&lt;/F&gt;\n"
        u"&lt;F&gt;&lt;Name&gt;E&lt;/Name&gt;\n&lt;UIName&gt;Edit&lt;/UIName&gt;\n"
        u"&lt;Type&gt;EditField&lt;/Type&gt;\n&lt;DefaultValue&gt;&lt;/DefaultValue&gt;\n"
        u"&lt;/F&gt;\n"
        u"&lt;/FL&gt;\n"
        u"&lt;TD&gt;&lt;Name&gt;T1&lt;/Name&gt;\n&lt;UIName&gt;Tech&lt;/UIName&gt;\n&lt;/TD&gt;\n"
        u"&lt;UD&gt;U1&lt;/UD&gt;\n"
        u"&lt;UD&gt;U2&lt;/UD&gt;\n"
        u"</Features>\n");
}

TEST(SerializeFeaturesTest, SupportLevelsMapToTheirLettersAndOthersAreLeftOut) {
    struct Level {
        int level;
        const char16_t* alternateWord;  // null: element left out
        const char16_t* browsing;
    };
    const Level levels[] = {{0, u"N", u"N"},
                            {1, u"S", u"B"},
                            {2, u"I", u"E"},
                            {3, nullptr, nullptr},
                            {-1, nullptr, nullptr}};
    for (const Level& level : levels) {
        FeaturesDocument document;
        document.alternateWordSupport = level.level;
        document.dictionaryBrowsingSupport = level.level;
        const std::u16string text = SerializeFeatures(document);
        const auto element = [](std::u16string_view tag, const char16_t* letter) {
            return u"&lt;" + std::u16string(tag) + u"&gt;" + letter + u"&lt;/" +
                   std::u16string(tag) + u"&gt;\n";
        };
        for (const auto& [tag, letter] : {std::pair<std::u16string_view, const char16_t*>{
                                              u"SupportAlternateWord", level.alternateWord},
                                          {u"SupportsDictionaryBrowsing", level.browsing}}) {
            if (letter != nullptr) {
                EXPECT_NE(text.find(element(tag, letter)), std::u16string::npos) << level.level;
            } else {
                EXPECT_EQ(text.find(u"&lt;" + std::u16string(tag)), std::u16string::npos)
                    << level.level;
            }
        }
    }
}

}  // namespace
