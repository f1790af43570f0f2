// What `qn-bridge configure` needs of the system that differs between the
// Windows and the native build: registry views, the default folder, the
// engine server's program path and running its /Configure.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"

namespace bridge {

// A registry view an engine server of one width reads.
struct RegistryView {
    REGSAM flag;       // KEY_WOW64_64KEY, KEY_WOW64_32KEY, or 0 natively
    const char* name;  // "64-bit view", for messages
};

// Windows: the 64-bit and the 32-bit view (one and the same key on 32-bit
// Windows); natively the one store.
std::vector<RegistryView> RegistryViews();

// Where the bridge keeps the folder it points the engine at when no --folder
// is given: %ProgramData%\QnBridge\backend on Windows, "backend" beside the
// configuration file natively.
std::string DefaultBackendFolder(const std::string& configPath);

// A path as the registry holds it, as this build's file functions take it
// (natively "Z:\dir\x" is "/dir/x").
std::string LocalPath(const std::string& registryPath);

// Runs `program /Configure` and waits for it. The exit code, or -1 with
// `problem` saying why the program did not run.
int RunServerConfigure(const std::string& program, std::string& problem);

}  // namespace bridge
