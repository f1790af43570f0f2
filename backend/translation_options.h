// The host's options text of one call: its "<t:Option Name=...>" entries and
// the three language values the engine acts on.
#pragma once

#include <map>
#include <string>
#include <string_view>

using OptionMap = std::map<std::u16string, std::u16string>;

inline constexpr std::u16string_view kSourceLanguageOption = u"SourceLanguage";
inline constexpr std::u16string_view kTranslationLanguageOption = u"TranslationLanguage";
inline constexpr std::u16string_view kUILanguageOption = u"UILanguage";

// Reads the entries of an options text; the first value of a name wins, and
// an entry with an empty name or without its closing tag ends the scan.
OptionMap ScanOptions(std::u16string_view text);
// Writes entries in map order, one per line, without escaping.
std::u16string SerializeOptions(const OptionMap& entries);

class TranslationOptions {
  public:
    void SetFromText(std::u16string text);
    std::u16string GetOption(std::u16string_view name, std::u16string_view defaultValue) const;

    const std::u16string& RawText() const { return rawText_; }
    const OptionMap& Entries() const { return entries_; }
    const std::u16string& SourceLanguage() const { return sourceLanguage_; }
    const std::u16string& TranslationLanguage() const { return translationLanguage_; }
    const std::u16string& UILanguage() const { return uiLanguage_; }

  private:
    std::u16string rawText_;
    OptionMap entries_;
    std::u16string sourceLanguage_;
    std::u16string translationLanguage_;
    std::u16string uiLanguage_;
};
