// The native registry's store file: where it lives, how it is read, and how a
// change is written so that neither a crash nor a second process can lose or
// tear it.
#pragma once

#include <functional>
#include <string>

#include "platform/native/registry_tree.h"
#include "platform/types.h"

namespace native_registry {

// $QN_REGISTRY_FILE when set, else registry.reg in the user's configuration
// folder ($XDG_CONFIG_HOME or ~/.config) under "translation-engine".
std::string StorePath();

// Reads the store into `tree` (a missing file is a store with only the
// standard keys). Returns ERROR_SUCCESS, ERROR_BADDB for a file that is not a
// store, or another status when the file cannot be read.
LONG LoadStore(Tree& tree);

// Applies one change while holding the store's inter-process lock: reads the
// current store, calls `change`, and when it returns ERROR_SUCCESS with
// `changed` set, replaces the file atomically. A store that cannot be read is
// never written.
LONG UpdateStore(const std::function<LONG(Tree& tree, bool& changed)>& change);

// Why the last load or update in this process failed, naming the file (and
// the line for a store that cannot be parsed); empty after a success.
std::string LastStoreProblem();

}  // namespace native_registry
