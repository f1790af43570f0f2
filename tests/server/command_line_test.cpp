#include <gtest/gtest.h>

#include <ostream>

#include "server/command_line.h"

namespace {

using server::Command;
using server::ScanCommandLine;

struct CommandLineCase {
    const char* line;
    Command expected;
};

// Names each case by its command line in test listings.
void PrintTo(const CommandLineCase& c, std::ostream* out) {
    *out << '"' << c.line << '"';
}

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, FindsTheSwitch) {
    EXPECT_EQ(ScanCommandLine(GetParam().line), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Switches, CommandLineTest,
    ::testing::Values(CommandLineCase{"server.exe /RegServer", Command::RegServer},
                      CommandLineCase{"server.exe -regserver", Command::RegServer},
                      CommandLineCase{"server.exe /REGSERVER", Command::RegServer},
                      CommandLineCase{"server.exe -UnregServer", Command::UnregServer},
                      CommandLineCase{"server.exe /configure", Command::Configure},
                      // The candidate is the whole rest of the line.
                      CommandLineCase{"server.exe /RegServer /foo", Command::Serve},
                      CommandLineCase{"server.exe /RegServer ", Command::Serve},
                      CommandLineCase{"server.exe /UnregServer /Configure", Command::Configure},
                      CommandLineCase{"server.exe -Embedding", Command::Serve},
                      CommandLineCase{"server.exe", Command::Serve},
                      CommandLineCase{"", Command::Serve},
                      // A dash or slash inside the program path starts a candidate too.
                      CommandLineCase{"C:/Program Files/server.exe", Command::Serve},
                      CommandLineCase{"C:\\dir-RegServer", Command::RegServer},
                      CommandLineCase{"\"C:\\a b\\server.exe\" /Configure", Command::Configure},
                      CommandLineCase{"server.exe /", Command::Serve},
                      CommandLineCase{"server.exe //RegServer", Command::RegServer}));

TEST(CommandLine, NullLineMeansServe) {
    EXPECT_EQ(ScanCommandLine(nullptr), Command::Serve);
}

}  // namespace
