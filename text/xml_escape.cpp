#include "text/xml_escape.h"

#include <cstddef>

#include "text/xml_escape_kernels.h"
#include "text/xml_escape_rule.h"

namespace xml_escape {
namespace {

// Text is scanned a few KiB at a time and each clean stretch appended while
// it is still in the first-level cache: one pass over memory, and the result
// is never filled with zeros first.
constexpr std::size_t kScanChunk = 4096;
// Stretches with something to replace are escaped into a buffer on the stack
// (six units out for one in at most), then appended.
constexpr std::size_t kEscapeChunk = 512;

const char16_t* ChunkEnd(const char16_t* p, const char16_t* end, std::size_t chunk) {
    return static_cast<std::size_t>(end - p) > chunk ? p + chunk : end;
}

}  // namespace

std::vector<const Kernels*> AvailableKernels() {
    std::vector<const Kernels*> sets{&ScalarKernels()};
    if (const Kernels* sse2 = Sse2Kernels())
        sets.push_back(sse2);
    if (const Kernels* avx2 = Avx2Kernels())
        sets.push_back(avx2);
    return sets;
}

void AppendEscapedWith(const Kernels& kernels, std::u16string& out, std::u16string_view text,
                       std::size_t spareRoom) {
    const char16_t* p = text.data();
    const char16_t* const end = p + text.size();
    const std::size_t start = out.size() + spareRoom;
    char16_t scratch[kEscapeChunk * kMaxGrowth + kOutSlack];
    while (p != end) {
        const char16_t* const scanStop = ChunkEnd(p, end, kScanChunk);
        const char16_t* const found = kernels.find(p, scanStop);
        // Exactly the text's size while nothing needs replacing; twice that
        // once something does, so the result is seldom moved as it grows.
        const std::size_t room = start + (found == scanStop ? text.size() : 2 * text.size());
        if (out.capacity() < room)
            out.reserve(room);
        out.append(p, static_cast<std::size_t>(found - p));
        p = found;
        if (p == scanStop)
            continue;
        const char16_t* const stop = ChunkEnd(p, end, kEscapeChunk);
        const char16_t* const written = kernels.escape(p, stop, end, scratch);
        out.append(scratch, static_cast<std::size_t>(written - scratch));
        p = stop;
    }
}

std::u16string EscapeWith(const Kernels& kernels, std::u16string_view text) {
    std::u16string out;
    AppendEscapedWith(kernels, out, text, 0);
    return out;
}

}  // namespace xml_escape

namespace {

const xml_escape::Kernels& FastestKernels() {
    static const xml_escape::Kernels& fastest = *xml_escape::AvailableKernels().back();
    return fastest;
}

}  // namespace

std::u16string EscapeXmlText(std::u16string_view text) {
    return xml_escape::EscapeWith(FastestKernels(), text);
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

std::u16string MakeEscapedXmlElement(std::u16string_view tagName, std::u16string_view text) {
    const std::size_t closing = tagName.size() + 4;  // "</" ">\n"
    std::u16string out;
    out.reserve(tagName.size() + 2 + text.size() + closing);
    out.push_back(u'<');
    out.append(tagName);
    out.push_back(u'>');
    xml_escape::AppendEscapedWith(FastestKernels(), out, text, closing);
    out.append(u"</");
    out.append(tagName);
    out.append(u">\n");
    return out;
}
