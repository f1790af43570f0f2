// Names of the scripted faults, as the demo program's command line spells them.
#pragma once

#include <optional>
#include <string_view>

#include "tools/backend/test_backend.h"

namespace test_backend {

std::string_view FaultName(Fault fault);
std::optional<Fault> FaultFromName(std::string_view name);
// Every name, separated by blanks, for usage messages.
std::string_view AllFaultNames();

}  // namespace test_backend
