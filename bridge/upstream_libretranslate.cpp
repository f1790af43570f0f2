#include "bridge/upstream_libretranslate.h"

#include <nlohmann/json.hpp>

#include "bridge/upstream_common.h"

namespace bridge {

LibreTranslateUpstream::LibreTranslateUpstream(const UpstreamSettings& settings,
                                               std::shared_ptr<HttpClient> client)
    : HttpUpstream(settings, std::move(client), "LibreTranslate") {}

std::string LibreTranslateUpstream::Translate(std::string_view text, std::string_view from,
                                              std::string_view to) {
    nlohmann::json query = {{"q", text}, {"source", from}, {"target", to}, {"format", "text"}};
    if (!settings_.apiKey.empty()) {
        query["api_key"] = settings_.apiKey;
    }
    HttpRequest request;
    request.url = JoinUrl(settings_.url, "/translate");
    request.timeout = settings_.timeout;
    request.headers = {{"Content-Type", "application/json"}, {"Accept", "application/json"}};
    request.body = query.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    const HttpResponse response = Exchange(*client_, request, description_);

    const auto answer = nlohmann::json::parse(response.body, nullptr, false);
    if (response.status != 200) {
        // {"error": "..."} with 400 (bad request, text over the limit), 403
        // (key), 429 (request limit) or 500 (translation failed).
        std::string message;
        if (answer.is_object() && answer.contains("error") && answer["error"].is_string()) {
            message = answer["error"].get<std::string>();
        }
        ThrowAnswered(description_, response.status, message);
    }
    if (!answer.is_object() || !answer.contains("translatedText") ||
        !answer["translatedText"].is_string()) {
        ThrowMalformed(description_, "an answer without translatedText");
    }
    return answer["translatedText"].get<std::string>();
}

}  // namespace bridge
