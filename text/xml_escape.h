// The two producers of the markup handed to the host: content escaping and
// the one-line element writer.
#pragma once

#include <string>
#include <string_view>

// Makes text safe as element content: "&", "<", ">" become entities and the
// control characters other than TAB, LF and CR become "&#N;" references.
std::u16string EscapeXmlText(std::u16string_view text);

// "<tagName>text</tagName>\n", both pieces copied verbatim (escape first).
std::u16string MakeXmlElement(std::u16string_view tagName, std::u16string_view text);

// MakeXmlElement(tagName, EscapeXmlText(text)), built in one buffer: a large
// text is not held a second time while its element is made.
std::u16string MakeEscapedXmlElement(std::u16string_view tagName, std::u16string_view text);
