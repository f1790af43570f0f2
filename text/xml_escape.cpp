#include "text/xml_escape.h"

namespace {

// Control characters are Unicode's category Cc: 0x00-0x1F and 0x7F-0x9F.
// Nothing above U+00FF belongs to it, which keeps the result the same on
// every platform whatever its wide classification tables say.
bool NeedsReplacing(char16_t c) {
    if (c == u'&' || c == u'<' || c == u'>')
        return true;
    if (c == u'\t' || c == u'\n' || c == u'\r')
        return false;
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void AppendReplacement(std::u16string& out, char16_t c) {
    switch (c) {
        case u'&':
            out.append(u"&amp;");
            return;
        case u'<':
            out.append(u"&lt;");
            return;
        case u'>':
            out.append(u"&gt;");
            return;
        default:
            break;
    }
    // "&#N;" with N in decimal; "&#65535;" is the longest.
    char16_t digits[5];
    int count = 0;
    unsigned value = c;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    out.append(u"&#");
    while (count > 0)
        out.push_back(digits[--count]);
    out.push_back(u';');
}

}  // namespace

std::u16string EscapeXmlText(std::u16string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && !NeedsReplacing(text[pos]))
        ++pos;
    if (pos == text.size())
        return std::u16string(text);

    std::u16string out;
    out.reserve(text.size() * 2);
    std::size_t runStart = 0;
    while (true) {
        out.append(text.substr(runStart, pos - runStart));
        if (pos == text.size())
            break;
        AppendReplacement(out, text[pos]);
        runStart = ++pos;
        while (pos < text.size() && !NeedsReplacing(text[pos]))
            ++pos;
    }
    return out;
}

std::u16string MakeXmlElement(std::u16string_view tagName, std::u16string_view text) {
    std::u16string out;
    out.reserve(2 * tagName.size() + text.size() + 6);  // "<" ">" "</" ">\n"
    out.push_back(u'<');
    out.append(tagName);
    out.push_back(u'>');
    out.append(text);
    out.append(u"</");
    out.append(tagName);
    out.append(u">\n");
    return out;
}
