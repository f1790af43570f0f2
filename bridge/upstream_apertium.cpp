#include "bridge/upstream_apertium.h"

#include <nlohmann/json.hpp>

#include "bridge/upstream_common.h"

namespace bridge {
namespace {

bool EndsUnknownWord(char c) {
    switch (c) {
        case '.':
        case ',':
        case ';':
        case ':':
        case '\t':
        case '*':
        case ' ':
        case '\n':
        case '\r':
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string MarkUnknownWords(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const auto star = text.find('*', at);
        if (star == std::string_view::npos) {
            break;
        }
        std::size_t end = star + 1;
        while (end < text.size() && !EndsUnknownWord(text[end])) {
            ++end;
        }
        out.append(text.substr(at, star - at));
        if (end == star + 1) {
            out += '*';
        } else {
            out += "<unk> ";
            out.append(text.substr(star + 1, end - star - 1));
            out += " </unk>";
        }
        at = end;
    }
    out.append(text.substr(at));
    return out;
}

ApertiumUpstream::ApertiumUpstream(const UpstreamSettings& settings,
                                   std::shared_ptr<HttpClient> client)
    : HttpUpstream(settings, std::move(client), "Apertium APy") {}

std::string ApertiumUpstream::Translate(std::string_view text, std::string_view from,
                                        std::string_view to) {
    // POST with a form body: a long chunk would not fit in a query string.
    HttpRequest request;
    request.url = JoinUrl(settings_.url, "/translate");
    request.timeout = settings_.timeout;
    request.headers = {{"Content-Type", "application/x-www-form-urlencoded"}};
    request.body = "langpair=" + FormEncode(std::string(from) + "|" + std::string(to)) +
                   "&markUnknown=yes&format=txt&q=" + FormEncode(text);
    const HttpResponse response = Exchange(*client_, request, description_);

    const auto answer = nlohmann::json::parse(response.body, nullptr, false);
    if (response.status != 200) {
        // {"status": "error", "code": 400, "message": "Bad Request", "explanation": "..."}
        std::string message;
        if (answer.is_object() && answer.contains("explanation") &&
            answer["explanation"].is_string()) {
            message = answer["explanation"].get<std::string>();
        }
        ThrowAnswered(description_, response.status, message);
    }
    // {"responseData": {"translatedText": "..."}, "responseDetails": null, "responseStatus": 200}
    if (!answer.is_object() || !answer.contains("responseData") ||
        !answer["responseData"].is_object() || !answer["responseData"].contains("translatedText") ||
        !answer["responseData"]["translatedText"].is_string()) {
        ThrowMalformed(description_, "an answer without responseData.translatedText");
    }
    return MarkUnknownWords(answer["responseData"]["translatedText"].get<std::string>());
}

}  // namespace bridge
