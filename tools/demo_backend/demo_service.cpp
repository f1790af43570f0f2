#include "tools/demo_backend/demo_service.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tools/demo_backend/word_translator.h"

namespace demo_backend {
namespace {

std::size_t CountUnknown(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = text.find("<unk> "); at != std::string_view::npos;
         at = text.find("<unk> ", at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

DemoService::DemoService(const std::string& folder) {
    for (const test_backend::Pipeline& pipeline : test_backend::Pipelines()) {
        const std::string path = folder + "/" + std::string(pipeline.source) + "-" +
                                 std::string(pipeline.target) + ".tsv";
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            throw std::runtime_error("cannot read the word list " + path);
        }
        const std::string text((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        Direction direction{&pipeline, Dictionary()};
        if (const std::size_t bad = direction.dictionary.Load(text); bad != 0) {
            throw std::runtime_error(path + ":" + std::to_string(bad) +
                                     ": expected \"word<TAB>translation\"");
        }
        directions_.push_back(std::move(direction));
    }
}

Response DemoService::Handle(std::string_view method, std::string_view target,
                             std::string_view body) const {
    Response response;
    if (method != "POST") {
        response.status = 405;
        response.reason = "Method Not Allowed";
        response.body = "Only POST is served here\n";
        response.note = "not a POST";
        return response;
    }
    const test_backend::Pipeline* pipeline = test_backend::FindPipeline(target);
    for (const Direction& direction : directions_) {
        if (direction.pipeline != pipeline) {
            continue;
        }
        // Only English, of the targets, is written with letter case.
        const bool capitalize = direction.pipeline->target == "en";
        response.body =
            TranslateText(direction.dictionary, direction.pipeline->source, capitalize, body);
        response.note = std::string(direction.pipeline->source) + "->" +
                        std::string(direction.pipeline->target) + ", " +
                        std::to_string(CountUnknown(response.body)) + " unknown words";
        return response;
    }
    response.status = 404;
    response.reason = "Not Found";
    response.body = "No pipeline at " + std::string(target) + "\n";
    response.note = "no such pipeline";
    return response;
}

std::string DemoService::Summary() const {
    std::string summary;
    for (const Direction& direction : directions_) {
        summary += (summary.empty() ? "" : ", ") + std::string(direction.pipeline->source) + "-" +
                   std::string(direction.pipeline->target) + " " +
                   std::to_string(direction.dictionary.Size());
    }
    return summary;
}

}  // namespace demo_backend
