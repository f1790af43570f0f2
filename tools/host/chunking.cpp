#include "tools/host/chunking.h"

namespace host {
namespace {

bool IsBlankChar(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v';
}

bool IsBlank(std::u16string_view text) {
    for (char16_t c : text) {
        if (!IsBlankChar(c)) {
            return false;
        }
    }
    return true;
}

std::u16string NormalizeLineEnds(std::u16string_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            continue;
        }
        result += text[i];
    }
    return result;
}

struct Line {
    std::u16string_view text;
    bool terminated;  // followed by a line feed
};

std::vector<Line> Lines(std::u16string_view text) {
    std::vector<Line> lines;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t end = text.find(u'\n', position);
        if (end == std::u16string_view::npos) {
            lines.push_back({text.substr(position), false});
            break;
        }
        lines.push_back({text.substr(position, end - position), true});
        position = end + 1;
    }
    return lines;
}

void AddChunk(ChunkLayout& layout, std::u16string chunk) {
    layout.chunks.push_back(std::move(chunk));
    layout.gaps.emplace_back();
}

ChunkLayout SplitLines(std::u16string_view text) {
    ChunkLayout layout;
    layout.gaps.emplace_back();
    for (const Line& line : Lines(text)) {
        if (IsBlank(line.text)) {
            layout.gaps.back() += line.text;
        } else {
            AddChunk(layout, std::u16string(line.text));
        }
        if (line.terminated) {
            layout.gaps.back() += u'\n';
        }
    }
    return layout;
}

ChunkLayout SplitParagraphs(std::u16string_view text) {
    ChunkLayout layout;
    layout.gaps.emplace_back();
    std::u16string paragraph;
    bool open = false;
    bool pendingLineFeed = false;  // after the paragraph's last line so far
    auto close = [&] {
        if (open) {
            AddChunk(layout, std::move(paragraph));
            paragraph.clear();
            if (pendingLineFeed) {
                layout.gaps.back() += u'\n';
            }
            open = false;
        }
    };
    for (const Line& line : Lines(text)) {
        if (IsBlank(line.text)) {
            close();
            layout.gaps.back() += line.text;
            if (line.terminated) {
                layout.gaps.back() += u'\n';
            }
            continue;
        }
        if (open) {
            paragraph += u'\n';
        }
        paragraph += line.text;
        open = true;
        pendingLineFeed = line.terminated;
    }
    close();
    return layout;
}

ChunkLayout SplitWhole(std::u16string_view text) {
    ChunkLayout layout;
    std::size_t first = 0;
    while (first < text.size() && IsBlankChar(text[first])) {
        ++first;
    }
    if (first == text.size()) {
        layout.gaps.emplace_back(text);
        return layout;
    }
    std::size_t last = text.size();
    while (IsBlankChar(text[last - 1])) {
        --last;
    }
    layout.gaps.emplace_back(text.substr(0, first));
    layout.chunks.emplace_back(text.substr(first, last - first));
    layout.gaps.emplace_back(text.substr(last));
    return layout;
}

}  // namespace

std::optional<ChunkMode> ChunkModeFromName(std::string_view name) {
    if (name == "line") {
        return ChunkMode::Line;
    }
    if (name == "paragraph") {
        return ChunkMode::Paragraph;
    }
    if (name == "whole") {
        return ChunkMode::Whole;
    }
    return std::nullopt;
}

std::size_t ChunkLayout::TotalChunkChars() const {
    std::size_t total = 0;
    for (const std::u16string& chunk : chunks) {
        total += chunk.size();
    }
    return total;
}

ChunkLayout SplitIntoChunks(std::u16string_view text, ChunkMode mode) {
    const std::u16string normalized = NormalizeLineEnds(text);
    switch (mode) {
        case ChunkMode::Line:
            return SplitLines(normalized);
        case ChunkMode::Paragraph:
            return SplitParagraphs(normalized);
        case ChunkMode::Whole:
            break;
    }
    return SplitWhole(normalized);
}

}  // namespace host
