#include "server/command_line.h"

#include "platform/strings.h"

namespace server {

Command ScanCommandLine(const char* commandLine) {
    if (commandLine == nullptr) {
        return Command::Serve;
    }
    // The candidate is everything after the switch character, so a second
    // switch on the same line makes the first one match nothing.
    for (const char* p = commandLine; *p != '\0'; ++p) {
        if (*p != '-' && *p != '/') {
            continue;
        }
        const char* candidate = p + 1;
        if (lstrcmpiA(candidate, "UnregServer") == 0) {
            return Command::UnregServer;
        }
        if (lstrcmpiA(candidate, "RegServer") == 0) {
            return Command::RegServer;
        }
        if (lstrcmpiA(candidate, "Configure") == 0) {
            return Command::Configure;
        }
    }
    return Command::Serve;
}

}  // namespace server
