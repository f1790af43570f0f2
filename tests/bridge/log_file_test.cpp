// The log's file: past its cap the oldest lines give way, the newest half kept
// from a line's start; lines are written whole.
#include "bridge/log_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>

#include "bridge/run_bridge.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(BridgeLogFile, KeptTailIsTheNewestHalfFromALineStart) {
    const struct {
        std::string text;
        std::uint64_t maxBytes;
        std::string kept;
    } cases[] = {
        {"aaaa\nbbbb\ncccc\n", 15, "aaaa\nbbbb\ncccc\n"},  // at the cap: untouched
        {"aaaa\nbbbb\ncccc\n", 10, "cccc\n"},              // the half starts a line
        {"aaaa\nbbbb\ncccc\n", 12, "cccc\n"},              // cut at the next line start
        {"aaaa\nbbbb\ncccc\n", 14, "cccc\n"},
        {"aaaa\nbbbb\ncccc\n", 4, ""},                        // no line start in the half
        {std::string(40, 'x') + "\n", 20, ""},                // one long line
        {"a\n" + std::string(30, 'x') + "\nb\n", 20, "b\n"},  // a long line goes whole
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bridge::KeptTail(c.text, c.maxBytes), c.kept) << c.text << " / " << c.maxBytes;
    }
}

TEST(BridgeLogFile, StaysUnderItsCapWithTheNewestWholeLines) {
    const std::string path = testing::TempDir() + "qn-bridge-log-file-test/bridge.log";
    std::remove(path.c_str());
    {
        bridge::LogFile file(path, 100);  // makes the folder too
        std::ostream log(&file);
        for (int i = 10; i < 40; ++i) {
            log << "line " << i << '\n' << std::flush;
            EXPECT_LE(ReadAll(path).size(), 100u) << i;
        }
        log << "no end yet";  // held back until a flush: no half line in the file
        EXPECT_EQ(ReadAll(path).find("no end"), std::string::npos);
        log << std::flush;
    }
    std::string text = ReadAll(path);
    EXPECT_EQ(text.substr(0, 5), "line ");
    EXPECT_NE(text.find("line 38\nline 39\nno end yet"), std::string::npos) << text;

    // An existing file is trimmed by a smaller cap, at once.
    {
        bridge::LogFile file(path, 4096);
        EXPECT_EQ(ReadAll(path), text);  // appended to, not replaced
        file.SetMaxBytes(40);
    }
    text = ReadAll(path);
    EXPECT_LE(text.size(), 40u);
    EXPECT_EQ(text, "line 39\nno end yet") << text;

    EXPECT_THROW(bridge::LogFile(path + "/under-a-file/x.log", 100), std::runtime_error);
    std::remove(path.c_str());
}

// A run without a console (the service) says why it ended in its log file;
// whoever started it reads it on stderr too.
TEST(BridgeLogFile, TheReasonARunEndsReachesTheLogFileAndStderr) {
    const std::string log = testing::TempDir() + "qn-bridge-run-log-test.log";
    const std::string missing = testing::TempDir() + "qn-bridge-run-log-test.missing.json";
    const struct {
        std::vector<std::string> args;
        std::string defaultLogFile;  // the host's
        int exitCode;
        std::string reason;
    } cases[] = {
        {{"--config", missing, "--log-file", log}, "", 2, missing + ": cannot be read"},
        {{"--config", missing}, log, 2, missing + ": cannot be read"},
        {{"--prot", "1"}, log, 2, "unknown argument \"--prot\""},
        {{"--config", missing, "--log-file", log + "/under-a-file.log"},
         "",
         1,
         "cannot write the log file " + log + "/under-a-file.log"},
    };
    const std::atomic<bool> stop{true};
    for (const auto& c : cases) {
        std::remove(log.c_str());
        std::ofstream(log, std::ios::binary) << "earlier line\n";
        std::ostringstream out;
        std::ostringstream err;
        bridge::RunHost host;
        host.defaultLogFile = c.defaultLogFile;
        EXPECT_EQ(
            bridge::RunBridge(
                c.args, out, err, [](const auto&, const auto&) { return nullptr; }, stop, host),
            c.exitCode)
            << c.reason;
        EXPECT_EQ(err.str().substr(0, 11 + c.reason.size()), "qn-bridge: " + c.reason);
        if (c.exitCode == 2) {
            const std::string text = ReadAll(log);
            EXPECT_EQ(text.substr(0, 13), "earlier line\n") << text;
            EXPECT_NE(text.find("Z qn-bridge: " + c.reason), std::string::npos) << text;
        }
    }
    std::remove(log.c_str());
}

}  // namespace
