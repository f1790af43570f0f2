#include "backend/pipeline_table.h"

#include <gtest/gtest.h>

#include <string>

#include "text/exceptions.h"
#include "text/ui_language.h"

namespace {

struct PipelineCase {
    std::u16string source;
    std::u16string target;
    std::string path;
};

TEST(PipelinePath, EveryRowByteForByte) {
    const PipelineCase rows[] = {
        {u"ar", u"en",
         "fcgiDispatch.ae?cmd0=normalize-ar&cmd2=translate&cmd3=transliterate-unk&cmd4=spell-"
         "numbers-en&cmd5=capitalize&cmd6=untruecase&bsfilter=0.001&bsmaxpaths=50&bsfactorlex=0.5&"
         "bsfactorlm=0.5&bsfactorlmhack=-100&bsmaxjumpwidth=3&transallfrags=0&filter-unk=1"},
        {u"en", u"ar", "fcgiDispatch.ea?cmd0=lowercase&cmd2=translate&cmd3=transliterate-unk"},
        {u"fa", u"en",
         "fcgiDispatch.fe?cmd0=normalize-fa&cmd2=translate&cmd3=transliterate-unk&cmd4=spell-"
         "numbers-en&cmd5=capitalize&cmd6=untruecase&bsfilter=0.001&bsmaxpaths=50&bsfactorlex=0.5&"
         "bsfactorlm=0.5&bsfactorlmhack=-100&bsmaxjumpwidth=3&transallfrags=0&filter-unk=1"},
        {u"en", u"fa", "fcgiDispatch.ef?cmd0=lowercase&cmd2=translate&cmd3=transliterate-unk"},
        {u"it", u"en",
         "fcgiDispatch.ie?cmd0=iten-preprocess&cmd2=translate&cmd3=untruecase&cmd4=capitalize&"
         "filter-unk=1"},
        {u"de", u"en",
         "fcgiDispatch.de?cmd0=deen-preprocess&cmd2=translate&cmd3=untruecase&cmd4=capitalize&"
         "filter-unk=1"},
    };
    for (const PipelineCase& row : rows) {
        EXPECT_EQ(PipelinePath(row.source, row.target), row.path)
            << std::string(row.source.begin(), row.source.end()) << "->"
            << std::string(row.target.begin(), row.target.end());
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
