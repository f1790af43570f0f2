// The texts a person sees in the engine's option schema, by interface language.
#pragma once

#include <string_view>

#include "text/ui_language.h"

struct FeatureLabels {
    std::u16string_view inputList;            // the "Input" feature list
    std::u16string_view handleEMailPrefixes;  // its one check box
};

// The labels of `language`; languages without labels of their own get English.
FeatureLabels FeatureLabelsFor(LanguageId language);
