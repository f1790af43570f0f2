// TranslateSegment with arbitrary answers from a back end in this process:
// the markup is always well formed and carries exactly the cleaned, escaped
// answer (or, for a pair without a pipeline, the error and the source).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "backend/http_transport.h"
#include "backend/hybrid_client.h"
#include "backend/pipeline_table.h"
#include "backend/remove_all.h"
#include "fuzz/support/segment_markup.h"
#include "text/code_pages.h"
#include "text/xml_escape.h"
#include "tools/backend/test_backend.h"

namespace {

// Each exchange leaves a finished thread in the back end until it stops, so
// a fresh back end (on a fresh free port) takes over now and then.
constexpr int kExchangesPerBackend = 200;

test_backend::TestBackend& Backend() {
    static std::unique_ptr<test_backend::TestBackend> backend;
    static int exchanges = 0;
    if (!backend || ++exchanges > kExchangesPerBackend) {
        backend.reset();
        backend = std::make_unique<test_backend::TestBackend>(0);
        SetBackendPortForTesting(backend->Port());
        exchanges = 1;
    }
    return *backend;
}

TranslationOptions Pair(const char16_t* source, const char16_t* target) {
    TranslationOptions options;
    options.SetFromText(u"<t:Option Name=\"SourceLanguage\">" + std::u16string(source) +
                        u"</t:Option><t:Option Name=\"TranslationLanguage\">" +
                        std::u16string(target) + u"</t:Option>");
    return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // First byte: low bits choose the length of the source chunk taken from the
    // front, the top bit an unsupported pair; the rest is the answer.
    const bool unsupported = (data[0] & 0x80) != 0;
    const std::size_t sourceBytes = std::min<std::size_t>(data[0] & 0x3F, size - 1);
    const std::string sourceUtf8(reinterpret_cast<const char*>(data + 1), sourceBytes);
    const std::string answer(reinterpret_cast<const char*>(data + 1 + sourceBytes),
                             size - 1 - sourceBytes);
    const std::u16string source = NarrowToWide(sourceUtf8, kCodePageUtf8);

    test_backend::TestBackend& backend = Backend();
    backend.SetCannedAnswer(answer);
    HybridClient client(unsupported ? Pair(u"en", u"de") : Pair(u"ar", u"en"));
    const std::u16string result = client.TranslateSegment(source);

    const std::optional<markup::SegmentMarkup> parsed = markup::ParseSegment(result);
    if (!parsed) {
        std::abort();
    }
    if (unsupported) {
        if (!parsed->hasErrors || parsed->errors != AnsiToWide(kUnsupportedPairMessage) ||
            parsed->translation != source) {
            std::abort();
        }
        return 0;
    }
    const std::u16string expected =
        RemoveAll(RemoveAll(NarrowToWide(answer, kCodePageUtf8), u"<unk> "), u" </unk>");
    if (parsed->hasErrors || parsed->translation != expected ||
        result != MakeXmlElement(u"Translation", EscapeXmlText(expected))) {
        std::abort();
    }
    return 0;
}
