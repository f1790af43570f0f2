// The features document in a form a person reads: the engine sends its inner
// markup escaped inside one Features element.
#pragma once

#include <string>
#include <string_view>

namespace host {

// The readable form, one item per line. A document that cannot be read is
// given back decoded, after a line that says so.
std::u16string RenderFeatures(std::u16string_view document);

}  // namespace host
