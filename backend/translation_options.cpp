#include "backend/translation_options.h"

#include <utility>

namespace {

constexpr std::u16string_view kOpening = u"<t:Option Name=\"";
constexpr std::u16string_view kNameEnd = u"\">";
constexpr std::u16string_view kClosing = u"</t:Option>";

}  // namespace

OptionMap ScanOptions(std::u16string_view text) {
    OptionMap entries;
    std::size_t pos = 0;
    while (true) {
        const std::size_t opening = text.find(kOpening, pos);
        if (opening == std::u16string_view::npos)
            break;
        const std::size_t nameStart = opening + kOpening.size();
        const std::size_t nameEnd = text.find(kNameEnd, nameStart);
        if (nameEnd == std::u16string_view::npos || nameEnd == nameStart)
            break;
        const std::size_t valueStart = nameEnd + kNameEnd.size();
        const std::size_t valueEnd = text.find(kClosing, valueStart);
        if (valueEnd == std::u16string_view::npos)
            break;
        // emplace keeps the first value of a repeated name.
        entries.emplace(std::u16string(text.substr(nameStart, nameEnd - nameStart)),
                        std::u16string(text.substr(valueStart, valueEnd - valueStart)));
        pos = valueEnd + kClosing.size();
    }
    return entries;
}

std::u16string SerializeOptions(const OptionMap& entries) {
    std::u16string out;
    for (const auto& [name, value] : entries) {
        if (!out.empty())
            out.push_back(u'\n');
        out.append(kOpening).append(name).append(kNameEnd).append(value).append(kClosing);
    }
    return out;
}

void TranslationOptions::SetFromText(std::u16string text) {
    rawText_ = std::move(text);
    entries_ = ScanOptions(rawText_);
    sourceLanguage_ = GetOption(kSourceLanguageOption, {});
    translationLanguage_ = GetOption(kTranslationLanguageOption, {});
    uiLanguage_ = GetOption(kUILanguageOption, {});
}

std::u16string TranslationOptions::GetOption(std::u16string_view name,
                                             std::u16string_view defaultValue) const {
    const auto found = entries_.find(std::u16string(name));
    return found != entries_.end() ? found->second : std::u16string(defaultValue);
}
