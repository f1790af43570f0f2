// Options scanning against a slow scan written straight from the entry rules,
// plus the SetFromText fields and a serialize-then-scan round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "backend/translation_options.h"

namespace {

constexpr std::u16string_view kOpen = u"<t:Option Name=\"";
constexpr std::u16string_view kNameEnd = u"\">";
constexpr std::u16string_view kClose = u"</t:Option>";

// Position of `literal` at or after `from`, compared unit by unit.
std::size_t SlowFind(std::u16string_view text, std::u16string_view literal, std::size_t from) {
    for (std::size_t i = from; i + literal.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < literal.size() && text[i + k] == literal[k]) {
            ++k;
        }
        if (k == literal.size()) {
            return i;
        }
    }
    return std::u16string_view::npos;
}

OptionMap SlowScan(std::u16string_view text) {
    OptionMap entries;
    std::size_t p = 0;
    for (;;) {
        const std::size_t open = SlowFind(text, kOpen, p);
        if (open == std::u16string_view::npos) {
            break;
        }
        const std::size_t s = open + kOpen.size();
        const std::size_t nameEnd = SlowFind(text, kNameEnd, s);
        if (nameEnd == std::u16string_view::npos || nameEnd == s) {
            break;
        }
        const std::size_t t = nameEnd + kNameEnd.size();
        const std::size_t close = SlowFind(text, kClose, t);
        if (close == std::u16string_view::npos) {
            break;
        }
        entries.emplace(std::u16string(text.substr(s, nameEnd - s)),
                        std::u16string(text.substr(t, close - t)));
        p = close + kClose.size();
    }
    return entries;
}

// Most inputs are spelled from pieces of the entry syntax, so that the
// scanner meets nearly-right entries far more often than random units would
// give; a first byte with the low bit set takes the bytes as UTF-16 instead.
std::u16string TextFrom(const std::uint8_t* data, std::size_t size) {
    static constexpr std::u16string_view kPieces[] = {kOpen,
                                                      kNameEnd,
                                                      kClose,
                                                      u"SourceLanguage",
                                                      u"TranslationLanguage",
                                                      u"UILanguage",
                                                      u"ar",
                                                      u"en",
                                                      u"\"",
                                                      u">",
                                                      u"<",
                                                      u"t:Option",
                                                      u"</t:",
                                                      u" ",
                                                      u"\u00e9",
                                                      std::u16string_view(u"\0", 1)};
    std::u16string text;
    if (size > 0 && (data[0] & 1) != 0) {
        for (std::size_t i = 1; i + 1 < size; i += 2) {
            text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
        }
        return text;
    }
    for (std::size_t i = 1; i < size; ++i) {
        text.append(kPieces[data[i] % std::size(kPieces)]);
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = TextFrom(data, size);
    const OptionMap scanned = ScanOptions(text);
    if (scanned != SlowScan(text)) {
        std::abort();
    }

    TranslationOptions options;
    options.SetFromText(text);
    auto value = [&scanned](std::u16string_view name) {
        auto found = scanned.find(std::u16string(name));
        return found == scanned.end() ? std::u16string() : found->second;
    };
    if (options.RawText() != text || options.Entries() != scanned ||
        options.SourceLanguage() != value(kSourceLanguageOption) ||
        options.TranslationLanguage() != value(kTranslationLanguageOption) ||
        options.UILanguage() != value(kUILanguageOption)) {
        std::abort();
    }

    // Scanned entries never hold the literal that ended them, so writing them
    // out and scanning again gives the same entries.
    if (ScanOptions(SerializeOptions(scanned)) != scanned) {
        std::abort();
    }
    return 0;
}
