#include "bridge/directions.h"

namespace bridge {
namespace {

constexpr std::array<Direction, 6> kDirections{{
    {"ar-en", "ae", "ar", "en"},
    {"en-ar", "ea", "en", "ar"},
    {"fa-en", "fe", "fa", "en"},
    {"en-fa", "ef", "en", "fa"},
    {"it-en", "ie", "it", "en"},
    {"de-en", "de", "de", "en"},
}};

constexpr std::string_view kPathPrefix = "/fcgiDispatch.";

}  // namespace

const std::array<Direction, 6>& Directions() {
    return kDirections;
}

std::optional<Direction> DirectionOfTarget(std::string_view target) {
    if (target.substr(0, kPathPrefix.size()) != kPathPrefix) {
        return std::nullopt;
    }
    target.remove_prefix(kPathPrefix.size());
    const std::string_view path = target.substr(0, target.find('?'));
    for (const Direction& direction : kDirections) {
        if (path == direction.tag) {
            return direction;
        }
    }
    return std::nullopt;
}

std::optional<Direction> DirectionOfCode(std::string_view code) {
    for (const Direction& direction : kDirections) {
        if (code == direction.code) {
            return direction;
        }
    }
    return std::nullopt;
}

std::string DirectionCodeList() {
    std::string list;
    for (const Direction& direction : kDirections) {
        list += list.empty() ? "" : ", ";
        list += direction.code;
    }
    return list;
}

}  // namespace bridge
