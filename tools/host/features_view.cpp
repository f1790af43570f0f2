#include "tools/host/features_view.h"

#include <vector>

#include "tools/host/markup.h"
#include "tools/host/xml_fragment.h"

namespace host {
namespace {

constexpr std::size_t kLabelWidth = 28;

std::u16string Trimmed(std::u16string_view text) {
    const std::size_t first = text.find_first_not_of(u" \t\r\n");
    if (first == std::u16string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(u" \t\r\n");
    return std::u16string(text.substr(first, last - first + 1));
}

void Row(std::u16string& out, std::u16string_view indent, std::u16string_view label,
         std::u16string_view value) {
    std::u16string line = std::u16string(indent) + std::u16string(label) + u":";
    while (line.size() < kLabelWidth) {
        line += u' ';
    }
    if (line.back() != u' ') {
        line += u' ';
    }
    out += line + std::u16string(value) + u"\n";
}

std::u16string Quoted(std::u16string_view text) {
    // Appended piece by piece: "literal + string" trips a false -Wrestrict in GCC 12 at -O3.
    std::u16string quoted(1, u'"');
    quoted += text;
    quoted += u'"';
    return quoted;
}

std::u16string ChildText(const XmlNode& node, std::u16string_view name) {
    const XmlNode* child = node.Child(name);
    return child ? Trimmed(child->text) : std::u16string();
}

std::u16string YesNo(std::u16string_view flag) {
    if (flag == u"1") {
        return u"yes";
    }
    if (flag == u"0") {
        return u"no";
    }
    return std::u16string(flag);
}

// A support level: N means none, any other code names a kind of support.
std::u16string Level(std::u16string_view code) {
    return (code == u"N" ? u"not offered (" : u"offered (") + std::u16string(code) + u")";
}

std::u16string TypeName(std::u16string_view type) {
    if (type == u"CheckBox") {
        return u"check box";
    }
    if (type == u"Combo") {
        return u"list";
    }
    if (type == u"EditField") {
        return u"text field";
    }
    return std::u16string(type);
}

void RenderFeature(std::u16string& out, const XmlNode& feature) {
    Row(out, u"  ", ChildText(feature, u"Name"), Quoted(ChildText(feature, u"UIName")));
    Row(out, u"    ", u"kind", TypeName(ChildText(feature, u"Type")));
    Row(out, u"    ", u"default", ChildText(feature, u"DefaultValue"));
    for (const XmlNode& value : feature.children) {
        if (value.name == u"V") {
            Row(out, u"    ", u"value " + ChildText(value, u"Name"),
                Quoted(ChildText(value, u"UIName")));
        }
    }
}

void RenderFeatureList(std::u16string& out, const XmlNode& list) {
    std::u16string heading =
        u"Feature list " + ChildText(list, u"Name") + u" " + Quoted(ChildText(list, u"UIName"));
    if (ChildText(list, u"SourceLanguage") == u"1") {
        heading += u", for the source text";
    }
    out += heading + u"\n";
    for (const XmlNode& feature : list.children) {
        if (feature.name == u"F") {
            RenderFeature(out, feature);
        }
    }
}

std::u16string Render(const std::vector<XmlNode>& nodes) {
    struct Known {
        std::u16string_view name;
        std::u16string_view label;
        std::u16string (*format)(std::u16string_view);
    };
    static const Known kKnown[] = {
        {u"SupportAlternateWord", u"Alternate words", Level},
        {u"SupportsDictionaryBrowsing", u"Dictionary browsing", Level},
        {u"IsCompositeEngine", u"Composite engine", YesNo},
        {u"SupportCreatingUDs", u"Creates user dictionaries", YesNo},
        {u"SupportDeletingUDs", u"Deletes user dictionaries", YesNo},
    };
    std::u16string out;
    std::vector<std::u16string> technical;
    std::vector<std::u16string> user;
    for (const XmlNode& node : nodes) {
        if (node.name == u"VendorCode") {
            Row(out, u"", u"Vendor code", Trimmed(node.text));
        } else if (node.name == u"TopLevelFeatures") {
            out += u"Top-level options:\n";
            for (const XmlNode& option : node.children) {
                Row(out, u"  ", option.Attribute(u"Name"), Trimmed(option.text));
            }
        } else if (node.name == u"FL") {
            RenderFeatureList(out, node);
        } else if (node.name == u"TD") {
            technical.push_back(ChildText(node, u"Name") + u" " +
                                Quoted(ChildText(node, u"UIName")));
        } else if (node.name == u"UD") {
            user.push_back(Trimmed(node.text));
        } else {
            bool known = false;
            for (const Known& item : kKnown) {
                if (node.name == item.name) {
                    Row(out, u"", item.label, item.format(Trimmed(node.text)));
                    known = true;
                }
            }
            if (!known) {
                Row(out, u"", node.name, Trimmed(node.text));
            }
        }
    }
    auto list = [&out](std::u16string_view label, const std::vector<std::u16string>& items) {
        if (items.empty()) {
            Row(out, u"", label, u"none");
        }
        for (const std::u16string& item : items) {
            Row(out, u"", label, item);
        }
    };
    list(u"Technical dictionaries", technical);
    list(u"User dictionaries", user);
    return out;
}

}  // namespace

std::u16string RenderFeatures(std::u16string_view document) {
    constexpr std::u16string_view kOpen = u"<Features>";
    constexpr std::u16string_view kClose = u"</Features>";
    const std::size_t open = document.find(kOpen);
    const std::size_t close = document.rfind(kClose);
    if (open != std::u16string_view::npos && close != std::u16string_view::npos &&
        close >= open + kOpen.size()) {
        const std::u16string inner =
            DecodeXmlText(document.substr(open + kOpen.size(), close - open - kOpen.size()));
        if (auto nodes = ParseXmlFragment(inner); nodes && !nodes->empty()) {
            return Render(*nodes);
        }
        return u"(the features document could not be read; it follows as sent)\n" + inner + u"\n";
    }
    return u"(the features document could not be read; it follows as sent)\n" +
           std::u16string(document) + u"\n";
}

}  // namespace host
