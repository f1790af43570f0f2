#include "backend/hybrid_client.h"

#include <optional>

#include "backend/http_transport.h"
#include "backend/pipeline_table.h"
#include "backend/remove_all.h"
#include "text/code_pages.h"
#include "text/exceptions.h"
#include "text/xml_escape.h"

namespace {

// Marks the back end puts around a word it could not translate.
constexpr std::u16string_view kUnknownOpen = u"<unk> ";
constexpr std::u16string_view kUnknownClose = u" </unk>";

std::u16string SourceAsTranslation(std::u16string_view source) {
    return MakeEscapedXmlElement(u"Translation", source);
}

}  // namespace

std::u16string HybridClient::TranslateSegment(std::u16string_view source) {
    try {
        // An unsupported pair throws here, before anything is opened.
        const std::string path =
            PipelinePath(options_.SourceLanguage(), options_.TranslationLanguage());
        std::optional<std::string> answer =
            PostToBackend(path, WideToNarrow(source, kCodePageUtf8));
        if (!answer) {
            return SourceAsTranslation(source);
        }
        // Each step's input is released as soon as its output exists, so that
        // a large chunk is held only a few times over at any moment.
        std::u16string text = NarrowToWide(*answer, kCodePageUtf8);
        answer.reset();
        RemoveAllInPlace(text, kUnknownOpen);
        RemoveAllInPlace(text, kUnknownClose);
        return MakeEscapedXmlElement(u"Translation", text);
    } catch (const QuillonException& error) {
        // Escaped like any other content, so that no message can break the markup.
        return MakeEscapedXmlElement(u"Errors", WideMessage(error)) + SourceAsTranslation(source);
    } catch (...) {
        return SourceAsTranslation(source);
    }
}
