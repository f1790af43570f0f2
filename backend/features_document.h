// What the engine tells the host about itself: vendor code, capability flags,
// limits, the schema of the options it offers and its dictionaries, built as
// plain records and written out as one escaped XML text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "backend/translation_options.h"

// A name as the host uses it and as a person reads it.
struct NamedItem {
    std::u16string name;
    std::u16string uiName;
};

// One option the host may offer its user.
struct Feature {
    std::u16string name;
    std::u16string uiName;
    std::u16string type;  // "CheckBox", "Combo" or "EditField"
    std::u16string defaultValue;
    std::vector<NamedItem> values;  // the choices of a "Combo"
};

// A named group of options.
struct FeatureList {
    std::u16string name;
    std::u16string uiName;
    bool sourceLanguage = false;
    std::vector<Feature> features;
};

struct FeaturesDocument {
    std::u16string vendorCode;
    int alternateWordSupport = 0;       // 0 to 2, written "N", "S", "I"
    int dictionaryBrowsingSupport = 0;  // 0 to 2, written "N", "B", "E"
    bool isCompositeEngine = false;
    bool supportsCreatingUserDictionaries = false;
    bool supportsDeletingUserDictionaries = false;
    OptionMap topLevelOptions;
    std::vector<FeatureList> featureLists;
    std::vector<NamedItem> technicalDictionaries;
    std::vector<std::u16string> userDictionaries;
};

// The document's text: a Features element whose content is the escaped inner
// markup. Support levels outside 0 to 2 leave their element out.
std::u16string SerializeFeatures(const FeaturesDocument& document);

// The technical dictionaries the back end offers for a language pair (none).
std::vector<NamedItem> TechnicalDictionariesFor(std::u16string_view sourceLanguage,
                                                std::u16string_view targetLanguage);

// The Features query: reads the host's options text, builds the document
// while holding ClientLock, and returns its text.
std::u16string QueryFeatures(std::u16string_view optionsText);
