// Strict UTF-8 for the tool's input and output: the engine's own converter
// accepts anything, but a person who feeds the tool a Latin-1 or UTF-16 file
// should hear so instead of reading garbage.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace host {

struct DecodedText {
    std::u16string text;
    bool hadBom = false;
};

struct DecodeFailure {
    std::size_t offset = 0;  // byte offset of the first byte that is not valid UTF-8
    std::string hint;        // e.g. that the file looks like UTF-16
};

// Decodes UTF-8, dropping one leading byte-order mark. Rejects over-long
// forms, surrogates, values beyond U+10FFFF and cut sequences.
std::optional<DecodedText> DecodeUtf8Strict(std::string_view bytes, DecodeFailure* failure);

// True when the bytes look like UTF-16 text: a byte-order mark of it, or a
// zero in every other byte as ASCII in UTF-16 has.
bool LooksLikeUtf16(std::string_view bytes);

// Encodes UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string EncodeUtf8(std::u16string_view text);

}  // namespace host
