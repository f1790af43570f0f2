// Reading the markup the engine writes per chunk: a Translation element with
// escaped text, preceded by an Errors element when the engine raised an error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace host {

// Resolves the five predefined entities and numeric character references;
// anything else that starts with "&" stays as it is.
std::u16string DecodeXmlText(std::u16string_view text);

struct ChunkMarkup {
    std::vector<std::u16string> errors;  // decoded content of each Errors element
    std::u16string translation;          // decoded content of the Translation element
    bool wellFormed = false;             // false: no Translation element was found
};

ChunkMarkup ParseChunkMarkup(std::u16string_view markup);

}  // namespace host
