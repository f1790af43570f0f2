#include "bridge/text_splitter.h"

#include <array>

namespace bridge {
namespace {

enum class Level { Paragraph, Sentence, Word, CodePoint };

struct Cut {
    std::size_t textEnd;    // where a piece's text ends and its separator begins
    std::size_t nextBegin;  // where the separator ends and the next piece begins
};

struct Range {
    std::size_t begin;
    std::size_t end;
};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool EndsWith(std::string_view text, std::size_t end, std::string_view tail) {
    return end >= tail.size() && text.substr(end - tail.size(), tail.size()) == tail;
}

// Whether the text before `end` (within [begin, end)) closes a sentence: a
// full stop, question or exclamation mark, maybe followed by closing quotes
// or brackets.
bool ClosesSentence(std::string_view text, std::size_t begin, std::size_t end) {
    static constexpr std::array<std::string_view, 8> kClosers = {
        "\"", "'", ")", "]", "\u201D", "\u2019", "\u00BB", "\u203A"};
    static constexpr std::array<std::string_view, 6> kEnds = {".",      "!",      "?",
                                                              "\u2026", "\u061F", "\u06D4"};
    for (bool skipped = true; skipped && end > begin;) {
        skipped = false;
        for (const auto closer : kClosers) {
            if (end - begin > closer.size() && EndsWith(text, end, closer)) {
                end -= closer.size();
                skipped = true;
                break;
            }
        }
    }
    for (const auto mark : kEnds) {
        if (end - begin >= mark.size() && EndsWith(text, end, mark)) {
            return true;
        }
    }
    return false;
}

// The white-space runs within [begin, end) that separate units of `level`.
std::vector<Range> Separators(std::string_view text, std::size_t begin, std::size_t end,
                              Level level) {
    std::vector<Range> found;
    std::size_t at = begin;
    while (at < end) {
        if (!IsSpace(text[at])) {
            ++at;
            continue;
        }
        std::size_t runEnd = at;
        std::size_t lineBreaks = 0;
        while (runEnd < end && IsSpace(text[runEnd])) {
            lineBreaks += text[runEnd] == '\n';
            ++runEnd;
        }
        const bool separates = level == Level::Paragraph  ? lineBreaks >= 2
                               : level == Level::Sentence ? ClosesSentence(text, begin, at)
                                                          : true;
        if (separates) {
            found.push_back({at, runEnd});
        }
        at = runEnd;
    }
    return found;
}

std::size_t CountIn(std::string_view text, std::size_t begin, std::size_t end) {
    return CodePoints(text.substr(begin, end - begin));
}

// Appends the cuts that bring every piece of [begin, end) within the limit.
void Split(std::string_view text, std::size_t begin, std::size_t end, Level level,
           std::size_t maxChars, std::vector<Cut>& cuts) {
    if (CountIn(text, begin, end) <= maxChars) {
        return;
    }
    if (level == Level::CodePoint) {
        std::size_t count = 0;
        for (std::size_t at = begin; at < end; ++at) {
            if (IsContinuation(text[at])) {
                continue;
            }
            if (count == maxChars) {
                cuts.push_back({at, at});
                count = 0;
            }
            ++count;
        }
        return;
    }
    const Level finer = static_cast<Level>(static_cast<int>(level) + 1);
    const std::vector<Range> separators = Separators(text, begin, end, level);
    if (separators.empty()) {
        Split(text, begin, end, finer, maxChars, cuts);
        return;
    }
    // Units lie between the separators; as many as fit share a piece.
    bool open = false;  // the current piece may take the next unit
    std::size_t pieceChars = 0;
    for (std::size_t unit = 0; unit <= separators.size(); ++unit) {
        const std::size_t unitBegin = unit == 0 ? begin : separators[unit - 1].end;
        const std::size_t unitEnd = unit == separators.size() ? end : separators[unit].begin;
        const std::size_t unitChars = CountIn(text, unitBegin, unitEnd);
        if (unit > 0) {
            const Range& before = separators[unit - 1];
            const std::size_t separatorChars = CountIn(text, before.begin, before.end);
            if (open && pieceChars + separatorChars + unitChars <= maxChars) {
                pieceChars += separatorChars + unitChars;
                continue;
            }
            cuts.push_back({before.begin, before.end});
        }
        if (unitChars <= maxChars) {
            open = true;
            pieceChars = unitChars;
        } else {
            Split(text, unitBegin, unitEnd, finer, maxChars, cuts);
            open = false;
        }
    }
}

}  // namespace

std::size_t CodePoints(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += !IsContinuation(c);
    }
    return count;
}

std::vector<TextPiece> SplitForLimit(std::string_view text, std::size_t maxChars) {
    std::vector<Cut> cuts;
    if (maxChars > 0) {
        Split(text, 0, text.size(), Level::Paragraph, maxChars, cuts);
    }
    std::vector<TextPiece> pieces;
    pieces.reserve(cuts.size() + 1);
    std::size_t begin = 0;
    for (const Cut& cut : cuts) {
        pieces.push_back({text.substr(begin, cut.textEnd - begin),
                          text.substr(cut.textEnd, cut.nextBegin - cut.textEnd)});
        begin = cut.nextBegin;
    }
    pieces.push_back({text.substr(begin), {}});
    return pieces;
}

}  // namespace bridge
