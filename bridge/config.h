// BridgeConfig: the bridge's configuration file, read whole and checked before
// anything is served; a bad file is a ConfigError naming file, field and fault.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/upstream.h"

namespace bridge {

struct BridgeConfig {
    std::uint16_t port = 11000;
    std::vector<std::string> addresses{"127.0.0.1", "::1"};
    std::uint64_t maxBodyBytes = 1u << 20;
    std::chrono::milliseconds requestTimeout{10000};
    std::size_t maxConnections = 32;
    std::size_t cacheMaxBytes = 32u << 20;
    std::uint64_t logMaxBytes = 10u << 20;    // the log's file, when it is written to one
    std::vector<UpstreamSettings> upstreams;  // in the file's order
    std::map<std::string, std::vector<RouteStep>> routes;  // by direction code
};

// "FILE: /limits/max_body_bytes: must be an integer from 1 to 67108864".
class ConfigError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Checks and reads the JSON text of a configuration; `fileName` names it in errors.
BridgeConfig ParseConfig(std::string_view text, const std::string& fileName);

// Reads the file and parses it.
BridgeConfig LoadConfig(const std::string& path);

// /etc/qn-bridge/bridge.json natively, %ProgramData%\QnBridge\bridge.json on Windows.
std::string DefaultConfigPath();

// Where the Windows service writes its log without --log-file:
// %ProgramData%\QnBridge\qn-bridge.log (natively /var/log/qn-bridge/qn-bridge.log).
std::string ServiceLogPath();

// The configuration's name for an upstream kind ("libretranslate").
std::string_view KindName(UpstreamKind kind);

}  // namespace bridge
