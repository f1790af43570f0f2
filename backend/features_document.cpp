#include "backend/features_document.h"

#include "backend/client_lock.h"
#include "backend/feature_labels.h"
#include "backend/hybrid_client.h"
#include "config/config_prefs.h"
#include "text/ui_language.h"
#include "text/xml_escape.h"

namespace {

std::u16string_view Flag(bool value) {
    return value ? u"1" : u"0";
}

std::u16string NamedItemContent(const NamedItem& item) {
    return MakeXmlElement(u"Name", item.name) + MakeXmlElement(u"UIName", item.uiName);
}

std::u16string FeatureElement(const Feature& feature) {
    std::u16string content = MakeXmlElement(u"Name", feature.name) +
                             MakeXmlElement(u"UIName", feature.uiName) +
                             MakeXmlElement(u"Type", feature.type) +
                             MakeXmlElement(u"DefaultValue", feature.defaultValue);
    for (const NamedItem& value : feature.values) {
        content += MakeXmlElement(u"V", NamedItemContent(value));
    }
    return MakeXmlElement(u"F", content);
}

std::u16string FeatureListElement(const FeatureList& list) {
    std::u16string content = MakeXmlElement(u"Name", list.name) +
                             MakeXmlElement(u"UIName", list.uiName) +
                             MakeXmlElement(u"SourceLanguage", Flag(list.sourceLanguage));
    for (const Feature& feature : list.features) {
        content += FeatureElement(feature);
    }
    return MakeXmlElement(u"FL", content);
}

constexpr char16_t kAlternateWordCodes[] = u"NSI";
constexpr char16_t kDictionaryBrowsingCodes[] = u"NBE";

void AppendLevel(std::u16string& body, std::u16string_view tag, int level,
                 const char16_t (&codes)[4]) {
    if (level >= 0 && level <= 2) {
        body += MakeXmlElement(tag, std::u16string_view(&codes[level], 1));
    }
}

}  // namespace

std::u16string SerializeFeatures(const FeaturesDocument& document) {
    std::u16string body = MakeXmlElement(u"VendorCode", document.vendorCode);
    AppendLevel(body, u"SupportAlternateWord", document.alternateWordSupport, kAlternateWordCodes);
    AppendLevel(body, u"SupportsDictionaryBrowsing", document.dictionaryBrowsingSupport,
                kDictionaryBrowsingCodes);
    body += MakeXmlElement(u"IsCompositeEngine", Flag(document.isCompositeEngine));
    body += MakeXmlElement(u"SupportCreatingUDs", Flag(document.supportsCreatingUserDictionaries));
    body += MakeXmlElement(u"SupportDeletingUDs", Flag(document.supportsDeletingUserDictionaries));
    body += MakeXmlElement(u"TopLevelFeatures", SerializeOptions(document.topLevelOptions));
    for (const FeatureList& list : document.featureLists) {
        body += FeatureListElement(list);
    }
    for (const NamedItem& dictionary : document.technicalDictionaries) {
        body += MakeXmlElement(u"TD", NamedItemContent(dictionary));
    }
    for (const std::u16string& dictionary : document.userDictionaries) {
        body += MakeXmlElement(u"UD", dictionary);
    }
    // The inner markup travels as the escaped text of one element.
    return MakeEscapedXmlElement(u"Features", body);
}

std::vector<NamedItem> TechnicalDictionariesFor(std::u16string_view /*sourceLanguage*/,
                                                std::u16string_view /*targetLanguage*/) {
    return {};
}

std::u16string HybridClient::BuildFeatures() {
    // The labels, and any message formatted meanwhile, follow the caller's
    // interface language until the document is built.
    const ScopedUiLanguage language(LanguageIdFromCode(Options().UILanguage()));
    const FeatureLabels labels = FeatureLabelsFor(currentUiLanguage.load());

    FeaturesDocument document;
    document.vendorCode = u"Dravik";

    FeatureList input{u"Input", std::u16string(labels.inputList), true, {}};
    input.features.push_back(Feature{u"HandleInputEMailPrefixes",
                                     std::u16string(labels.handleEMailPrefixes),
                                     u"CheckBox",
                                     u"1",
                                     {}});
    document.featureLists.push_back(std::move(input));

    document.topLevelOptions.emplace(u"MaximumDictionaries", u"7");
    document.topLevelOptions.emplace(u"MaximumUserDictionaries", u"0");

    if (SupportsTechnicalDictionaries()) {
        for (NamedItem& dictionary : TechnicalDictionariesFor(Options().SourceLanguage(),
                                                              Options().TranslationLanguage())) {
            document.technicalDictionaries.push_back(std::move(dictionary));
        }
    }
    return SerializeFeatures(document);
}

std::u16string QueryFeatures(std::u16string_view optionsText) {
    TranslationOptions options;
    options.SetFromText(std::u16string(optionsText));
    ClientLock lock(options);
    std::u16string document = lock.Client().BuildFeatures();
    lock.Release();
    return document;
}
