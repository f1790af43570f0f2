#include "tools/demo_backend/word_translator.h"

#include <cstdint>
#include <vector>

namespace demo_backend {
namespace {

struct Token {
    enum class Kind { Word, Number, Space, Other };
    Kind kind;
    std::string text;
};

// Decodes one UTF-8 sequence; malformed bytes are taken one at a time.
std::uint32_t NextCodePoint(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC0 ? 2
                                        : 1;
    if (i + length > text.size()) {
        length = 1;
    }
    std::uint32_t value = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (std::size_t k = 1; k < length; ++k) {
        value = (value << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += length;
    return value;
}

bool IsPunctuation(std::uint32_t c) {
    switch (c) {
        case 0x00A1:
        case 0x00AB:
        case 0x00BB:
        case 0x00BF:  // ¡ « » ¿
        case 0x060C:
        case 0x061B:
        case 0x061F:
        case 0x06D4:  // Arabic comma, semicolon, ? and .
        case 0x2013:
        case 0x2014:
        case 0x2026:  // dashes, ellipsis
        case 0x201C:
        case 0x201D:
        case 0x201E:  // double quotes
        case 0x00A0:  // no-break space
            return true;
        default:
            return false;
    }
}

bool IsApostrophe(std::uint32_t c) {
    return c == '\'' || c == 0x2019;
}

bool IsWordChar(std::uint32_t c) {
    if (c < 0x80) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    }
    return !IsPunctuation(c);
}

std::vector<Token> Tokenize(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        const std::uint32_t c = NextCodePoint(text, i);
        Token::Kind kind = Token::Kind::Other;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            kind = Token::Kind::Space;
        } else if (IsWordChar(c)) {
            kind = Token::Kind::Word;
            // Words run on through letters and through an apostrophe between letters.
            while (i < text.size()) {
                std::size_t next = i;
                const std::uint32_t d = NextCodePoint(text, next);
                if (IsWordChar(d)) {
                    i = next;
                    continue;
                }
                std::size_t after = next;
                if (IsApostrophe(d) && after < text.size() &&
                    IsWordChar(NextCodePoint(text, after))) {
                    i = next;
                    continue;
                }
                break;
            }
        }
        std::string piece(text.substr(start, i - start));
        if (kind == Token::Kind::Word &&
            piece.find_first_not_of("0123456789") == std::string::npos) {
            kind = Token::Kind::Number;
        }
        if (!tokens.empty() && tokens.back().kind == kind && kind == Token::Kind::Space) {
            tokens.back().text += piece;
        } else {
            tokens.push_back({kind, std::move(piece)});
        }
    }
    return tokens;
}

// Scripts without letter case (Arabic, Persian) count as not lower case.
bool StartsLowerCase(std::string_view word) {
    const auto c = static_cast<unsigned char>(word.empty() ? 0 : word[0]);
    if (c >= 'a' && c <= 'z') {
        return true;
    }
    // Latin-1 small letters: C3 9F..C3 BF.
    return c == 0xC3 && word.size() > 1 && static_cast<unsigned char>(word[1]) >= 0x9F;
}

std::string Capitalized(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - ('a' - 'A'));
    }
    return text;
}

bool EndsSentence(const Token& token) {
    if (token.kind == Token::Kind::Space) {
        return token.text.find('\n') != std::string::npos;
    }
    if (token.kind != Token::Kind::Other) {
        return false;
    }
    const char last = token.text.back();
    return last == '.' || last == '!' || last == '?' || last == ':' || token.text == "\xD8\x9F";
}

class Translator {
  public:
    Translator(const Dictionary& dictionary, std::string_view sourceLanguage)
        : dictionary_(dictionary), arabic_(sourceLanguage == "ar") {}

    // The translation of one word, with the language's prefix rules.
    std::optional<std::string> Word(const std::string& word, int depth = 0) const {
        const std::string folded = FoldCase(word);
        if (auto found = dictionary_.Find(folded)) {
            return std::string(*found);
        }
        if (depth >= 2) {
            return std::nullopt;
        }
        // Elided articles and prepositions: "l'acqua", "dell'anno".
        const std::size_t apostrophe = folded.find('\'');
        if (apostrophe != std::string::npos && apostrophe + 1 < folded.size()) {
            auto head = dictionary_.Find(folded.substr(0, apostrophe + 1));
            auto tail = Word(word.substr(apostrophe + 1), depth + 1);
            if (head && tail) {
                return std::string(*head) + " " + *tail;
            }
        }
        if (arabic_) {
            static const std::pair<std::string_view, std::string_view> kPrefixes[] = {
                {"\xD9\x88", "and"},          // wa-
                {"\xD8\xA7\xD9\x84", "the"},  // al-
            };
            for (const auto& [prefix, meaning] : kPrefixes) {
                if (word.size() > prefix.size() + 2 &&
                    word.compare(0, prefix.size(), prefix) == 0) {
                    if (auto rest = Word(word.substr(prefix.size()), depth + 1)) {
                        return std::string(meaning) + " " + *rest;
                    }
                }
            }
        }
        return std::nullopt;
    }

  private:
    const Dictionary& dictionary_;
    bool arabic_;
};

}  // namespace

std::string TranslateText(const Dictionary& dictionary, std::string_view sourceLanguage,
                          bool capitalizeTarget, std::string_view text) {
    const Translator translator(dictionary, sourceLanguage);
    const std::vector<Token> tokens = Tokenize(text);
    std::string result;
    bool sentenceStart = true;
    std::size_t i = 0;
    while (i < tokens.size()) {
        const Token& token = tokens[i];
        if (token.kind != Token::Kind::Word) {
            result += token.text;
            if (token.kind != Token::Kind::Space || EndsSentence(token)) {
                sentenceStart = EndsSentence(token);
            }
            ++i;
            continue;
        }
        // Longest phrase first: words joined by single blanks.
        std::optional<std::string> translation;
        std::size_t used = 1;
        std::string phrase = FoldCase(token.text);
        std::vector<std::string> candidates;
        for (std::size_t words = 2, j = i;
             words <= dictionary.LongestPhrase() && j + 2 < tokens.size() &&
             tokens[j + 1].kind == Token::Kind::Space && tokens[j + 1].text == " " &&
             tokens[j + 2].kind == Token::Kind::Word;
             ++words, j += 2) {
            phrase += " " + FoldCase(tokens[j + 2].text);
            candidates.push_back(phrase);
        }
        for (std::size_t k = candidates.size(); k > 0 && !translation; --k) {
            if (auto found = dictionary.Find(candidates[k - 1])) {
                translation = std::string(*found);
                used = 2 * k + 1;
            }
        }
        if (!translation) {
            translation = translator.Word(token.text);
        }
        if (translation && *translation == "~") {
            // A word the target language does without, and the blank after it.
            i += used;
            if (i < tokens.size() && tokens[i].text == " ") {
                ++i;
            }
            continue;
        }
        if (translation) {
            const bool capital = capitalizeTarget && sentenceStart && !StartsLowerCase(token.text);
            result += capital ? Capitalized(*translation) : *translation;
        } else {
            result += "<unk> " + token.text + " </unk>";
        }
        sentenceStart = false;
        i += used;
    }
    return result;
}

}  // namespace demo_backend
