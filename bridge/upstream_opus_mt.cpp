#include "bridge/upstream_opus_mt.h"

#include <nlohmann/json.hpp>

#include "bridge/upstream_common.h"

namespace bridge {
namespace {

std::string ErrorText(const nlohmann::json& answer) {
    if (!answer.is_object() || !answer.contains("error")) {
        return {};
    }
    const auto& error = answer["error"];
    return error.is_string() ? error.get<std::string>()
                             : error.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

OpusMtUpstream::OpusMtUpstream(const UpstreamSettings& settings, std::shared_ptr<HttpClient> client)
    : HttpUpstream(settings, std::move(client), "OPUS-MT") {}

std::string OpusMtUpstream::Translate(std::string_view text, std::string_view from,
                                      std::string_view to) {
    const nlohmann::json query = {{"from", from}, {"to", to}, {"source", text}};
    HttpRequest request;
    request.url = JoinUrl(settings_.url, "/api/translate");
    request.timeout = settings_.timeout;
    request.headers = {{"Content-Type", "application/json"}};
    request.body = query.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    const HttpResponse response = Exchange(*client_, request, description_);

    const auto answer = nlohmann::json::parse(response.body, nullptr, false);
    if (response.status != 200) {
        ThrowAnswered(description_, response.status, ErrorText(answer));
    }
    // A pair the server does not serve comes back as 200 with {"error": ...}.
    if (answer.is_object() && answer.contains("error")) {
        const std::string error = ErrorText(answer);
        ThrowAnswered(description_, 200, error.empty() ? "error" : error);
    }
    if (!answer.is_object() || !answer.contains("translation") ||
        !answer["translation"].is_string()) {
        ThrowMalformed(description_, "an answer without translation");
    }
    return answer["translation"].get<std::string>();
}

}  // namespace bridge
