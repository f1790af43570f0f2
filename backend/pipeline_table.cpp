#include "backend/pipeline_table.h"

#include <array>

#include "text/exceptions.h"

namespace {

struct Pipeline {
    std::u16string_view source;
    std::u16string_view target;
    const char* path;
};

// Tested in this order; the paths go to the back end byte for byte.
constexpr std::array<Pipeline, 6> kPipelines = {{
    {u"ar", u"en",
     "fcgiDispatch.ae?cmd0=normalize-ar&cmd2=translate&cmd3=transliterate-unk&cmd4=spell-numbers-"
     "en&cmd5=capitalize&cmd6=untruecase&bsfilter=0.001&bsmaxpaths=50&bsfactorlex=0.5&"
     "bsfactorlm=0.5&bsfactorlmhack=-100&bsmaxjumpwidth=3&transallfrags=0&filter-unk=1"},
    {u"en", u"ar", "fcgiDispatch.ea?cmd0=lowercase&cmd2=translate&cmd3=transliterate-unk"},
    {u"fa", u"en",
     "fcgiDispatch.fe?cmd0=normalize-fa&cmd2=translate&cmd3=transliterate-unk&cmd4=spell-numbers-"
     "en&cmd5=capitalize&cmd6=untruecase&bsfilter=0.001&bsmaxpaths=50&bsfactorlex=0.5&"
     "bsfactorlm=0.5&bsfactorlmhack=-100&bsmaxjumpwidth=3&transallfrags=0&filter-unk=1"},
    {u"en", u"fa", "fcgiDispatch.ef?cmd0=lowercase&cmd2=translate&cmd3=transliterate-unk"},
    {u"it", u"en",
     "fcgiDispatch.ie?cmd0=iten-preprocess&cmd2=translate&cmd3=untruecase&cmd4=capitalize&filter-"
     "unk=1"},
    {u"de", u"en",
     "fcgiDispatch.de?cmd0=deen-preprocess&cmd2=translate&cmd3=untruecase&cmd4=capitalize&filter-"
     "unk=1"},
}};

}  // namespace

std::string PipelinePath(std::u16string_view sourceCode, std::u16string_view targetCode) {
    for (const Pipeline& pipeline : kPipelines) {
        if (pipeline.source == sourceCode && pipeline.target == targetCode)
            return pipeline.path;
    }
    throw StringException(kUnsupportedPairMessage);
}
