// The flag that Ctrl+C, SIGINT or SIGTERM sets to stop the bridge cleanly.
#pragma once

#include <atomic>

namespace bridge {

// Installs the handlers (once) and returns the flag they set.
const std::atomic<bool>& InstallStopHandlers();

}  // namespace bridge
