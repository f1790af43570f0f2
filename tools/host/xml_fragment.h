// A small, forgiving reader of the element trees the engine writes (the
// features document): elements, attributes in double quotes and raw text.
// Text may hold ">" and stray characters: the engine does not escape leaf text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace host {

struct XmlNode {
    std::u16string name;
    std::vector<std::pair<std::u16string, std::u16string>> attributes;
    std::u16string text;  // the element's own text, children left out
    std::vector<XmlNode> children;

    const XmlNode* Child(std::u16string_view childName) const;
    std::u16string Attribute(std::u16string_view attributeName) const;
};

// The top-level elements of `text`, or nothing when an element is not closed.
std::optional<std::vector<XmlNode>> ParseXmlFragment(std::u16string_view text);

}  // namespace host
