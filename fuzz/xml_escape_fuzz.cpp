// Escaping: the output holds no raw "<", ">" or forbidden control character,
// every "&" starts an entity or reference, unescaping gives the input back,
// text that needs nothing comes back as it was, and every set of escaping
// loops the processor runs gives the same result.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "fuzz/support/segment_markup.h"
#include "text/xml_escape.h"
#include "text/xml_escape_kernels.h"

namespace {

// A first byte with the low bit set draws units from a small set rich in the
// characters that need replacing; otherwise the bytes are UTF-16 as they come.
std::u16string TextFrom(const std::uint8_t* data, std::size_t size) {
    static constexpr char16_t kUnits[] = {u'&',  u'<',  u'>',   u'a',   u';',   u'#', u'\t',
                                          u'\n', u'\r', 0x00,   0x1F,   0x7F,   0x85, 0x9F,
                                          0xA0,  0xE9,  0x2028, 0xFFFF, 0xD800, u'"', u'\''};
    std::u16string text;
    if (size > 0 && (data[0] & 1) != 0) {
        for (std::size_t i = 1; i < size; ++i) {
            text.push_back(kUnits[data[i] % std::size(kUnits)]);
        }
        return text;
    }
    for (std::size_t i = 1; i + 1 < size; i += 2) {
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = TextFrom(data, size);
    const std::u16string escaped = EscapeXmlText(text);

    // Unescape refuses raw "<", ">", forbidden controls and any "&" that does
    // not start a well-formed entity or reference.
    const std::optional<std::u16string> back = markup::Unescape(escaped);
    if (!back || *back != text) {
        std::abort();
    }
    bool needsNothing = true;
    for (char16_t c : text) {
        if (c == u'&' || c == u'<' || c == u'>' || markup::IsForbiddenControl(c)) {
            needsNothing = false;
        }
    }
    if (needsNothing && escaped != text) {
        std::abort();
    }
    for (const xml_escape::Kernels* kernels : xml_escape::AvailableKernels()) {
        if (xml_escape::EscapeWith(*kernels, text) != escaped) {
            std::abort();
        }
    }
    if (MakeXmlElement(u"Translation", escaped) !=
        u"<Translation>" + escaped + u"</Translation>\n") {
        std::abort();
    }
    return 0;
}
