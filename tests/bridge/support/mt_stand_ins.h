// Handlers that make a StandInServer answer as LibreTranslate, an OPUS-MT
// REST server or an OpenAI-compatible chat-completions server do, with their
// error answers. A translation is the target code and the text: "en:Hallo".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tests/bridge/support/stand_in_server.h"

namespace bridge_test {

struct StandInScript {
    std::vector<std::string> languages = {"ar", "de", "en", "es", "fa", "it"};
    std::string apiKey;         // required when not empty
    std::size_t charLimit = 0;  // LibreTranslate's --char-limit; 0: none
    int failWith = 0;           // answer this status with the kind's error shape
    bool cutOff = false;        // chat: finish_reason "length"
    bool notJson = false;       // a 200 whose body is not JSON
    bool hang = false;          // never answer
};

StandInServer::Handler LibreTranslateStandIn(StandInScript script);
StandInServer::Handler OpusMtStandIn(StandInScript script);
StandInServer::Handler ChatCompletionsStandIn(StandInScript script);

}  // namespace bridge_test
