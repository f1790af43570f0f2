#include "bridge/upstream_openai_chat.h"

#include <nlohmann/json.hpp>

#include <utility>

#include "bridge/upstream_common.h"

namespace bridge {
namespace {

// A model follows a language's name better than its code.
std::string LanguageName(std::string_view code) {
    static constexpr std::pair<std::string_view, std::string_view> kNames[] = {
        {"ar", "Arabic"},  {"ara", "Arabic"},  {"de", "German"},  {"deu", "German"},
        {"en", "English"}, {"eng", "English"}, {"es", "Spanish"}, {"spa", "Spanish"},
        {"fa", "Persian"}, {"fas", "Persian"}, {"fr", "French"},  {"fra", "French"},
        {"it", "Italian"}, {"ita", "Italian"},
    };
    for (const auto& [known, name] : kNames) {
        if (code == known) {
            return std::string(name);
        }
    }
    return "the language with the code " + std::string(code);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string ErrorText(const nlohmann::json& answer) {
    // {"error": {"message": "...", "type": "...", "code": ...}}; some local
    // servers send {"error": "..."}.
    if (!answer.is_object() || !answer.contains("error")) {
        return {};
    }
    const auto& error = answer["error"];
    if (error.is_string()) {
        return error.get<std::string>();
    }
    if (error.is_object() && error.contains("message") && error["message"].is_string()) {
        return error["message"].get<std::string>();
    }
    return {};
}

}  // namespace

std::string TranslationPrompt(std::string_view from, std::string_view to) {
    return "You are a translation engine. Translate the user's text from " + LanguageName(from) +
           " into " + LanguageName(to) +
           ". Answer with the translation alone: no notes, no explanations, no quotation marks "
           "around it. Keep the line breaks of the text.";
}

OpenAiChatUpstream::OpenAiChatUpstream(const UpstreamSettings& settings,
                                       std::shared_ptr<HttpClient> client)
    : HttpUpstream(settings, std::move(client), "Chat completions") {}

std::string OpenAiChatUpstream::Translate(std::string_view text, std::string_view from,
                                          std::string_view to) {
    const std::string_view core = Trimmed(text);
    if (core.empty()) {
        return std::string(text);
    }
    nlohmann::json query = {
        {"messages",
         {{{"role", "system"}, {"content", TranslationPrompt(from, to)}},
          {{"role", "user"}, {"content", core}}}},
        {"temperature", 0},
        {"stream", false},
    };
    if (!settings_.model.empty()) {
        query["model"] = settings_.model;
    }
    HttpRequest request;
    request.url = JoinUrl(settings_.url, "/v1/chat/completions");
    request.timeout = settings_.timeout;
    request.headers = {{"Content-Type", "application/json"}};
    if (!settings_.apiKey.empty()) {
        request.headers.emplace_back("Authorization", "Bearer " + settings_.apiKey);
    }
    request.body = query.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    const HttpResponse response = Exchange(*client_, request, description_);

    const auto answer = nlohmann::json::parse(response.body, nullptr, false);
    if (response.status != 200) {
        ThrowAnswered(description_, response.status, ErrorText(answer));
    }
    // {"choices": [{"index": 0, "message": {"role": "assistant", "content": "..."},
    //               "finish_reason": "stop"}], ...}
    if (!answer.is_object() || !answer.contains("choices") || !answer["choices"].is_array() ||
        answer["choices"].empty() || !answer["choices"][0].is_object() ||
        !answer["choices"][0].contains("message") || !answer["choices"][0]["message"].is_object() ||
        !answer["choices"][0]["message"].contains("content") ||
        !answer["choices"][0]["message"]["content"].is_string()) {
        if (const std::string error = ErrorText(answer); !error.empty()) {
            ThrowAnswered(description_, 200, error);
        }
        ThrowMalformed(description_, "an answer without choices[0].message.content");
    }
    const auto& choice = answer["choices"][0];
    // A translation cut off at the token limit would pass for a whole one.
    if (choice.contains("finish_reason") && choice["finish_reason"] == "length") {
        ThrowAnswered(description_, 200, "the translation was cut off at the token limit");
    }
    // The model's own leading and trailing white space goes; the text's stays.
    const std::string content = choice["message"]["content"].get<std::string>();
    const std::size_t lead = core.data() - text.data();
    const std::size_t trail = text.size() - lead - core.size();
    return std::string(text.substr(0, lead)) + std::string(Trimmed(content)) +
           std::string(text.substr(text.size() - trail));
}

}  // namespace bridge
