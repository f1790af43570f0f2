// The back end's request path for each supported translation direction.
#pragma once

#include <string>
#include <string_view>

inline constexpr const char* kUnsupportedPairMessage =
    "Unsupported language pair for hybrid engine";

// The request path (relative, no leading slash) of the pipeline serving
// sourceCode -> targetCode; codes match exactly and case-sensitively.
// Throws StringException(kUnsupportedPairMessage) when there is none.
std::string PipelinePath(std::u16string_view sourceCode, std::u16string_view targetCode);
