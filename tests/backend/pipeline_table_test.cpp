#include "backend/pipeline_table.h"

#include <gtest/gtest.h>

#include <string>

#include "backend/hybrid_client.h"
#include "tests/backend/backend_test_support.h"
#include "text/exceptions.h"
#include "text/ui_language.h"
#include "tools/backend/pipelines.h"

namespace {

// Each direction's request, as the test back end recorded it, asks for the
// pipeline that back end serves for that direction.
TEST(PipelinePath, EachDirectionReachesItsPipeline) {
    PointedBackend pointed;
    for (const test_backend::Pipeline& pipeline : test_backend::Pipelines()) {
        const std::u16string source(pipeline.source.begin(), pipeline.source.end());
        const std::u16string target(pipeline.target.begin(), pipeline.target.end());
        SCOPED_TRACE(std::string(pipeline.source) + "->" + std::string(pipeline.target));
        const std::size_t before = pointed.backend.RequestCount();
        HybridClient(OptionsFor(source, target)).TranslateSegment(u"x");
        const auto requests = pointed.backend.Requests();
        ASSERT_EQ(requests.size(), before + 1);
        EXPECT_EQ(requests.back().requestLine, "POST /" + std::string(pipeline.path) + " HTTP/1.0");
    }
}

TEST(PipelinePath, UnsupportedPairs) {
    const std::pair<std::u16string, std::u16string> pairs[] = {
        {u"en", u"it"},
        {u"en", u"de"},
        {u"en", u"en"},
        {u"ar", u"fa"},
        {u"fr", u"en"},
        {u"en", u"fr"},
        {u"ru", u"en"},
        {u"Ar", u"en"},
        {u"AR", u"en"},
        {u"ar", u"EN"},
        {u"ar-SA", u"en"},
        {u" ar", u"en"},
        {u"ar ", u"en"},
        {u"", u""},
        {u"ar", u""},
        {u"", u"en"},
        {std::u16string(u"ar\0", 3), u"en"},
    };
    for (const auto& [source, target] : pairs) {
        try {
            PipelinePath(source, target);
            ADD_FAILURE() << std::string(source.begin(), source.end()) << "->"
                          << std::string(target.begin(), target.end()) << " was accepted";
        } catch (const StringException& error) {
            EXPECT_EQ(error.Message(), "Unsupported language pair for hybrid engine");
        }
    }
}

TEST(PipelinePath, UnsupportedMessageIsTheSameInEveryLanguage) {
    ScopedUiLanguage german(LanguageId::German);
    try {
        PipelinePath(u"en", u"it");
        FAIL();
    } catch (const QuillonException& error) {
        EXPECT_EQ(error.Message(), "Unsupported language pair for hybrid engine");
    }
}

}  // namespace
