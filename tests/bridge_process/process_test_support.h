// Shared by the tests that run qn-bridge as a process: its path, a
// configuration in a scratch file, and reading the log it writes.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace process_test {

// Long enough for a loaded machine: it only keeps a broken test from hanging.
inline constexpr std::chrono::seconds kHangGuard{60};

// The program's path as the system names it: under Wine a Linux path is
// drive Z:.
inline std::string BridgeExe() {
    std::string path = QN_BRIDGE_EXE;
#ifdef _WIN32
    if (path.rfind("/", 0) == 0) {
        path = "Z:" + path;
    }
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
#endif
    return path;
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A file under the test's scratch folder, emptied.
inline std::string ScratchFile(const std::string& name, const std::string& text = "") {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
}

// A configuration with one LibreTranslate upstream at `upstreamUrl` serving
// de-en, listening on 127.0.0.1 at `port` (0: a free one).
inline std::string Config(const std::string& upstreamUrl, std::uint16_t port = 0,
                          const std::string& limits = "") {
    return R"({"listen": {"port": )" + std::to_string(port) + R"(, "addresses": ["127.0.0.1"]},)" +
           limits + R"("upstreams": {"libre": {"kind": "libretranslate", "url": ")" + upstreamUrl +
           R"("}}, "directions": {"de-en": [{"upstream": "libre"}]}})";
}

// The log's text once it holds `needle`, or as it is when the guard runs out.
inline std::string WaitForLog(const std::string& path, const std::string& needle) {
    const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
    std::string text = ReadAll(path);
    while (text.find(needle) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        text = ReadAll(path);
    }
    return text;
}

// The port of "listening on 127.0.0.1:PORT" in the log, 0 when it is not there.
inline std::uint16_t ListeningPort(const std::string& log) {
    const std::string mark = "listening on 127.0.0.1:";
    const std::size_t at = log.find(mark);
    return at == std::string::npos
               ? 0
               : static_cast<std::uint16_t>(std::stoul(log.substr(at + mark.size(), 5)));
}

}  // namespace process_test
