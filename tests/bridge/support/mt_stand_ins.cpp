#include "tests/bridge/support/mt_stand_ins.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "bridge/text_splitter.h"

namespace bridge_test {
namespace {

using nlohmann::json;

bool Knows(const StandInScript& script, const json& code) {
    return code.is_string() && std::find(script.languages.begin(), script.languages.end(),
                                         code.get<std::string>()) != script.languages.end();
}

StandInAnswer Json(int status, const json& body) {
    return {status, body.dump()};
}

// The answers a script forces before the request is looked at.
bool Scripted(const StandInScript& script, StandInAnswer& answer) {
    if (script.hang) {
        answer.hang = true;
        return true;
    }
    if (script.notJson) {
        answer = {200, "<html>upstream proxy page</html>", "text/html"};
        return true;
    }
    return false;
}

}  // namespace

StandInServer::Handler LibreTranslateStandIn(StandInScript script) {
    return [script](const StandInRequest& request) {
        StandInAnswer answer;
        if (Scripted(script, answer)) {
            return answer;
        }
        if (request.method != "POST" || request.target != "/translate") {
            return Json(404, {{"error", "Not Found"}});
        }
        const json query = json::parse(request.body, nullptr, false);
        if (script.failWith == 429) {
            return Json(429, {{"error", "Too many request limits violations"}});
        }
        if (script.failWith != 0) {
            return Json(script.failWith, {{"error", "Cannot translate text: model failed"}});
        }
        if (!query.is_object() || !query.contains("q") || !query["q"].is_string()) {
            return Json(400, {{"error", "Invalid request: missing q parameter"}});
        }
        if (!script.apiKey.empty() &&
            (!query.contains("api_key") || query["api_key"] != script.apiKey)) {
            return Json(403, {{"error", "Invalid API key"}});
        }
        const std::string q = query["q"];
        const std::size_t chars = bridge::CodePoints(q);
        if (script.charLimit > 0 && chars > script.charLimit) {
            return Json(400, {{"error", "Invalid request: request (" + std::to_string(chars) +
                                            ") exceeds text limit (" +
                                            std::to_string(script.charLimit) + ")"}});
        }
        for (const char* field : {"source", "target"}) {
            if (!query.contains(field) || !Knows(script, query[field])) {
                return Json(
                    400, {{"error", query.value(field, std::string("?")) + " is not supported"}});
            }
        }
        if (query.value("format", std::string()) != "text") {
            return Json(400, {{"error", "format must be text for this stand-in"}});
        }
        return Json(200, {{"translatedText", query["target"].get<std::string>() + ":" + q}});
    };
}

StandInServer::Handler OpusMtStandIn(StandInScript script) {
    return [script](const StandInRequest& request) {
        StandInAnswer answer;
        if (Scripted(script, answer)) {
            return answer;
        }
        if (request.method != "POST" || request.target != "/api/translate") {
            return StandInAnswer{404, "Not Found", "text/plain"};
        }
        if (script.failWith != 0) {
            return StandInAnswer{script.failWith, "<html><title>500: Internal Server Error</title>",
                                 "text/html"};
        }
        const json query = json::parse(request.body, nullptr, false);
        if (!query.is_object() || !query.contains("source") || !query["source"].is_string()) {
            return Json(400, {{"error", "no source text"}});
        }
        // The server's answer for a pair it has no model for is a 200.
        if (!Knows(script, query.value("from", json())) ||
            !Knows(script, query.value("to", json()))) {
            return Json(200,
                        {{"error", "Language pair " + query.value("from", std::string()) + "-" +
                                       query.value("to", std::string()) + " is not supported"}});
        }
        const std::string to = query["to"];
        return Json(200, {{"source", query["source"]},
                          {"translation", to + ":" + query["source"].get<std::string>()},
                          {"from", query["from"]},
                          {"to", to}});
    };
}

StandInServer::Handler ChatCompletionsStandIn(StandInScript script) {
    return [script](const StandInRequest& request) {
        StandInAnswer answer;
        if (Scripted(script, answer)) {
            return answer;
        }
        const auto error = [](int status, const std::string& message, const char* type) {
            return Json(status,
                        {{"error", {{"message", message}, {"type", type}, {"code", nullptr}}}});
        };
        if (request.method != "POST" || request.target != "/v1/chat/completions") {
            return error(404, "Unknown request URL", "invalid_request_error");
        }
        if (!script.apiKey.empty() &&
            request.Header("Authorization") != "Bearer " + script.apiKey) {
            return error(401, "Incorrect API key provided", "invalid_request_error");
        }
        if (script.failWith != 0) {
            return error(script.failWith, "The server is overloaded", "server_error");
        }
        const json query = json::parse(request.body, nullptr, false);
        if (!query.is_object() || !query.contains("messages") || !query["messages"].is_array() ||
            query["messages"].size() != 2) {
            return error(400, "messages: a system and a user message expected",
                         "invalid_request_error");
        }
        const std::string prompt = query["messages"][0].value("content", std::string());
        const std::string text = query["messages"][1].value("content", std::string());
        // The "translation" names the languages the prompt names, in its order,
        // with white space around it, as models answer.
        std::vector<std::pair<std::size_t, std::string>> named;
        for (const char* name : {"Arabic", "English", "German", "Italian", "Persian", "Spanish"}) {
            if (const auto at = prompt.find(name); at != std::string::npos) {
                named.emplace_back(at, name);
            }
        }
        std::sort(named.begin(), named.end());
        std::string content = "\n";
        for (const auto& [at, name] : named) {
            content += name + ">";
        }
        content += " " + text + "\n";
        return Json(200, {{"id", "chatcmpl-1"},
                          {"object", "chat.completion"},
                          {"model", query.value("model", std::string("default"))},
                          {"choices",
                           {{{"index", 0},
                             {"message", {{"role", "assistant"}, {"content", content}}},
                             {"finish_reason", script.cutOff ? "length" : "stop"}}}}});
    };
}

}  // namespace bridge_test
