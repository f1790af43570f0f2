#include "jobs/fault_injection.h"

#include <atomic>

namespace {

std::atomic<bool> g_armed[3] = {false, false, false};

std::atomic<bool>& Flag(InjectedFault fault) {
    return g_armed[static_cast<int>(fault)];
}

}  // namespace

void InjectFault(InjectedFault fault) {
    Flag(fault).store(true);
}

bool TakeInjectedFault(InjectedFault fault) {
    return Flag(fault).exchange(false);
}
