#include "tools/backend/pipelines.h"

#include <algorithm>
#include <array>

namespace test_backend {
namespace {

using Word = std::pair<std::string_view, std::string_view>;

constexpr std::array<Word, 5> kArabicToEnglish{
    {{"مرحبا", "hello"}, {"عالم", "world"}, {"كتاب", "book"}, {"بيت", "house"}, {"و", "and"}}};
constexpr std::array<Word, 5> kEnglishToArabic{
    {{"hello", "مرحبا"}, {"world", "عالم"}, {"book", "كتاب"}, {"house", "بيت"}, {"and", "و"}}};
constexpr std::array<Word, 5> kPersianToEnglish{
    {{"سلام", "hello"}, {"دنیا", "world"}, {"کتاب", "book"}, {"خانه", "house"}, {"و", "and"}}};
constexpr std::array<Word, 5> kEnglishToPersian{
    {{"hello", "سلام"}, {"world", "دنیا"}, {"book", "کتاب"}, {"house", "خانه"}, {"and", "و"}}};
constexpr std::array<Word, 5> kItalianToEnglish{
    {{"ciao", "hello"}, {"mondo", "world"}, {"libro", "book"}, {"casa", "house"}, {"e", "and"}}};
constexpr std::array<Word, 5> kGermanToEnglish{
    {{"hallo", "hello"}, {"welt", "world"}, {"buch", "book"}, {"haus", "house"}, {"und", "and"}}};

constexpr std::string_view kLongTail =
    "&cmd4=spell-numbers-en&cmd5=capitalize&cmd6=untruecase&bsfilter=0.001&bsmaxpaths=50"
    "&bsfactorlex=0.5&bsfactorlm=0.5&bsfactorlmhack=-100&bsmaxjumpwidth=3&transallfrags=0"
    "&filter-unk=1";

// Held as whole strings so that a request is matched byte for byte.
const std::string kArabicPath =
    std::string("fcgiDispatch.ae?cmd0=normalize-ar&cmd2=translate&cmd3=transliterate-unk") +
    std::string(kLongTail);
const std::string kPersianPath =
    std::string("fcgiDispatch.fe?cmd0=normalize-fa&cmd2=translate&cmd3=transliterate-unk") +
    std::string(kLongTail);

const std::array<Pipeline, 6> kPipelines{{
    {"ar", "en", kArabicPath, kArabicToEnglish},
    {"en", "ar", "fcgiDispatch.ea?cmd0=lowercase&cmd2=translate&cmd3=transliterate-unk",
     kEnglishToArabic},
    {"fa", "en", kPersianPath, kPersianToEnglish},
    {"en", "fa", "fcgiDispatch.ef?cmd0=lowercase&cmd2=translate&cmd3=transliterate-unk",
     kEnglishToPersian},
    {"it", "en",
     "fcgiDispatch.ie?cmd0=iten-preprocess&cmd2=translate&cmd3=untruecase&cmd4=capitalize&filter-"
     "unk=1",
     kItalianToEnglish},
    {"de", "en",
     "fcgiDispatch.de?cmd0=deen-preprocess&cmd2=translate&cmd3=untruecase&cmd4=capitalize&filter-"
     "unk=1",
     kGermanToEnglish},
}};

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string FoldAscii(std::string_view word) {
    std::string folded(word);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + ('a' - 'A'));
        }
    }
    return folded;
}

}  // namespace

std::span<const Pipeline> Pipelines() {
    return kPipelines;
}

const Pipeline* FindPipeline(std::string_view requestTarget) {
    if (requestTarget.empty() || requestTarget.front() != '/') {
        return nullptr;
    }
    requestTarget.remove_prefix(1);
    for (const Pipeline& pipeline : kPipelines) {
        if (pipeline.path == requestTarget) {
            return &pipeline;
        }
    }
    return nullptr;
}

std::string TranslateWords(const Pipeline& pipeline, std::string_view text) {
    std::string result;
    std::size_t position = 0;
    while (position < text.size()) {
        if (IsSeparator(text[position])) {
            result += text[position++];
            continue;
        }
        std::size_t end = position;
        while (end < text.size() && !IsSeparator(text[end])) {
            ++end;
        }
        std::string_view word = text.substr(position, end - position);
        const std::string folded = FoldAscii(word);
        auto known = std::find_if(pipeline.words.begin(), pipeline.words.end(),
                                  [&](const Word& entry) { return entry.first == folded; });
        if (known != pipeline.words.end()) {
            result += known->second;
        } else {
            result += "<unk> ";
            result += word;
            result += " </unk>";
        }
        position = end;
    }
    return result;
}

}  // namespace test_backend
