// The host tool's command line: one command and its options.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/host/chunking.h"

namespace host {

enum class Command { Help, Engines, Features, Translate, Check };

struct HostOptions {
    Command command = Command::Help;
    std::string progId;  // --progid: skip the engine list and use this ProgID
    // features
    std::string ui;  // --ui CODE (empty: the option is not sent)
    bool raw = false;
    // translate
    std::string from;
    std::string to;
    std::string input = "-";  // a file name, or "-" for standard input
    ChunkMode chunk = ChunkMode::Paragraph;
    bool markup = false;
};

// Parses the arguments after the program name; on failure `error` says why.
std::optional<HostOptions> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

// The --help text, exit codes included.
std::string UsageText();

}  // namespace host
