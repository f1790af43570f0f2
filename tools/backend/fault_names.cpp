#include "tools/backend/fault_names.h"

#include <array>
#include <utility>

namespace test_backend {
namespace {

constexpr std::array<std::pair<Fault, std::string_view>, 13> kNames{{
    {Fault::None, "none"},
    {Fault::ErrorStatus, "error-status"},
    {Fault::TooLarge, "too-large"},
    {Fault::ProxyAuthOnce, "proxy-auth-once"},
    {Fault::ProxyAuthAlways, "proxy-auth-always"},
    {Fault::NoAnswer, "no-answer"},
    {Fault::SlowTrickle, "slow-trickle"},
    {Fault::ResetMidBody, "reset-mid-body"},
    {Fault::HugeBody, "huge-body"},
    {Fault::NulInBody, "nul-in-body"},
    {Fault::InvalidUtf8, "invalid-utf8"},
    {Fault::ShortBody, "short-body"},
    {Fault::NotListening, "not-listening"},
}};

}  // namespace

std::string_view FaultName(Fault fault) {
    for (const auto& [value, name] : kNames) {
        if (value == fault) {
            return name;
        }
    }
    return "unknown";
}

std::optional<Fault> FaultFromName(std::string_view name) {
    for (const auto& [value, known] : kNames) {
        if (known == name) {
            return value;
        }
    }
    return std::nullopt;
}

std::string_view AllFaultNames() {
    return "none error-status too-large proxy-auth-once proxy-auth-always no-answer slow-trickle "
           "reset-mid-body huge-body nul-in-body invalid-utf8 short-body not-listening";
}

}  // namespace test_backend
