#include "tools/host/xml_fragment.h"

namespace host {
namespace {

bool IsNameStart(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}

bool IsNameChar(char16_t c) {
    return IsNameStart(c) || (c >= u'0' && c <= u'9') || c == u':' || c == u'-' || c == u'.';
}

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

class Reader {
  public:
    explicit Reader(std::u16string_view text) : text_(text) {}

    bool AtElementStart() const {
        return pos_ + 1 < text_.size() && text_[pos_] == u'<' && IsNameStart(text_[pos_ + 1]);
    }
    bool AtEnd() const { return pos_ >= text_.size(); }
    void Skip() { ++pos_; }

    // Reads the element that starts at the current position.
    std::optional<XmlNode> Element(int depth) {
        if (depth > 64) {
            return std::nullopt;
        }
        XmlNode node;
        ++pos_;  // "<"
        while (pos_ < text_.size() && IsNameChar(text_[pos_])) {
            node.name += text_[pos_++];
        }
        if (!Attributes(node)) {
            return std::nullopt;
        }
        if (text_.substr(pos_, 2) == u"/>") {
            pos_ += 2;
            return node;
        }
        ++pos_;  // ">"
        const std::u16string closing = u"</" + node.name + u">";
        while (pos_ < text_.size()) {
            if (text_.substr(pos_, closing.size()) == closing) {
                pos_ += closing.size();
                return node;
            }
            if (AtElementStart()) {
                std::optional<XmlNode> child = Element(depth + 1);
                if (!child) {
                    return std::nullopt;
                }
                node.children.push_back(std::move(*child));
            } else {
                node.text += text_[pos_++];
            }
        }
        return std::nullopt;
    }

  private:
    bool Attributes(XmlNode& node) {
        for (;;) {
            while (pos_ < text_.size() && IsSpace(text_[pos_])) {
                ++pos_;
            }
            if (pos_ >= text_.size()) {
                return false;
            }
            if (text_[pos_] == u'>' || text_.substr(pos_, 2) == u"/>") {
                return true;
            }
            std::u16string name;
            while (pos_ < text_.size() && IsNameChar(text_[pos_])) {
                name += text_[pos_++];
            }
            if (name.empty() || text_.substr(pos_, 2) != u"=\"") {
                return false;
            }
            pos_ += 2;
            const std::size_t end = text_.find(u'"', pos_);
            if (end == std::u16string_view::npos) {
                return false;
            }
            node.attributes.emplace_back(std::move(name),
                                         std::u16string(text_.substr(pos_, end - pos_)));
            pos_ = end + 1;
        }
    }

    std::u16string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

const XmlNode* XmlNode::Child(std::u16string_view childName) const {
    for (const XmlNode& child : children) {
        if (child.name == childName) {
            return &child;
        }
    }
    return nullptr;
}

std::u16string XmlNode::Attribute(std::u16string_view attributeName) const {
    for (const auto& [name, value] : attributes) {
        if (name == attributeName) {
            return value;
        }
    }
    return {};
}

std::optional<std::vector<XmlNode>> ParseXmlFragment(std::u16string_view text) {
    Reader reader(text);
    std::vector<XmlNode> nodes;
    while (!reader.AtEnd()) {
        if (!reader.AtElementStart()) {
            reader.Skip();
            continue;
        }
        std::optional<XmlNode> node = reader.Element(0);
        if (!node) {
            return std::nullopt;
        }
        nodes.push_back(std::move(*node));
    }
    return nodes;
}

}  // namespace host
