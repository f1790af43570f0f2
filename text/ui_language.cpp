#include "text/ui_language.h"

#include <array>
#include <utility>

#include "platform/locale.h"

std::atomic<LanguageId> currentUiLanguage{UiLanguageFromUserLocale()};

namespace {

constexpr std::array<std::pair<std::u16string_view, LanguageId>, 21> kLanguageCodes = {{
    {u"ar", LanguageId::Arabic},  {u"zh", LanguageId::Chinese},   {u"nl", LanguageId::Dutch},
    {u"en", LanguageId::English}, {u"fa", LanguageId::Persian},   {u"fr", LanguageId::French},
    {u"de", LanguageId::German},  {u"he", LanguageId::Hebrew},    {u"id", LanguageId::Indonesian},
    {u"it", LanguageId::Italian}, {u"ja", LanguageId::Japanese},  {u"ko", LanguageId::Korean},
    {u"ps", LanguageId::Pashto},  {u"pl", LanguageId::Polish},    {u"pt", LanguageId::Portuguese},
    {u"ru", LanguageId::Russian}, {u"es", LanguageId::Spanish},   {u"tl", LanguageId::Tagalog},
    {u"tr", LanguageId::Turkish}, {u"uk", LanguageId::Ukrainian}, {u"ur", LanguageId::Urdu},
}};

// Primary language ids of the languages that have texts of their own.
constexpr std::array<std::pair<LCID, LanguageId>, 8> kLocaleLanguages = {{
    {0x04, LanguageId::Chinese},
    {0x13, LanguageId::Dutch},
    {0x09, LanguageId::English},
    {0x0C, LanguageId::French},
    {0x07, LanguageId::German},
    {0x10, LanguageId::Italian},
    {0x16, LanguageId::Portuguese},
    {0x0A, LanguageId::Spanish},
}};

}  // namespace

LanguageId UiLanguageFromLcid(LCID lcid) {
    const LCID primary = lcid & 0x3FF;
    for (const auto& [id, language] : kLocaleLanguages) {
        if (id == primary)
            return language;
    }
    return LanguageId::English;
}

LanguageId UiLanguageFromUserLocale() {
    return UiLanguageFromLcid(GetUserDefaultLCID());
}

LanguageId LanguageIdFromCode(std::u16string_view code) {
    for (const auto& [text, language] : kLanguageCodes) {
        if (text == code)
            return language;
    }
    return LanguageId::English;
}

ScopedUiLanguage::ScopedUiLanguage(LanguageId language)
    : saved_(currentUiLanguage.exchange(language)) {}

ScopedUiLanguage::~ScopedUiLanguage() {
    currentUiLanguage.store(saved_);
}
