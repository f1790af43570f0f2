// Language identifiers and the process-wide language of texts meant for a person.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "platform/types.h"

enum class LanguageId : std::int32_t {
    Arabic = 1,
    Chinese,
    Dutch,
    English,
    Persian,
    French,
    German,
    Hebrew,
    Indonesian,
    Italian,
    Japanese,
    Korean,
    Pashto,
    Polish,
    Portuguese,
    Russian,
    Spanish,
    Tagalog,
    Turkish,
    Ukrainian,
    Urdu
};

// Set at start-up from the user's locale; overridden only by ScopedUiLanguage.
extern std::atomic<LanguageId> currentUiLanguage;

// Maps a locale identifier's primary language to one of the eight languages
// that have texts; everything else is English.
LanguageId UiLanguageFromLcid(LCID lcid);
// UiLanguageFromLcid of the user's default locale.
LanguageId UiLanguageFromUserLocale();

// Exact, case-sensitive two-letter code; anything else is English.
LanguageId LanguageIdFromCode(std::u16string_view code);

// Overrides currentUiLanguage for its lifetime and restores the saved value,
// also when the scope is left by an exception.
class ScopedUiLanguage {
  public:
    explicit ScopedUiLanguage(LanguageId language);
    ~ScopedUiLanguage();
    ScopedUiLanguage(const ScopedUiLanguage&) = delete;
    ScopedUiLanguage& operator=(const ScopedUiLanguage&) = delete;

  private:
    LanguageId saved_;
};
