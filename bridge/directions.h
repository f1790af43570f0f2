// The six translation directions the engine asks for, and the request paths
// that name them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace bridge {

struct Direction {
    std::string_view code;  // "de-en": source and target language, as the engine names them
    std::string_view tag;   // "de": what follows "fcgiDispatch." in the request path
    std::string_view from;  // "de"
    std::string_view to;    // "en"
};

const std::array<Direction, 6>& Directions();

// The direction a request target names: "/fcgiDispatch." + tag, then the end
// or a query, which is accepted whatever it holds. nullopt for anything else.
std::optional<Direction> DirectionOfTarget(std::string_view target);

// The direction with this code ("de-en"), if it is one of the six.
std::optional<Direction> DirectionOfCode(std::string_view code);

// "ar-en, en-ar, ...", for messages.
std::string DirectionCodeList();

}  // namespace bridge
