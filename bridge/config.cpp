#include "bridge/config.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#ifdef _WIN32
#include <windows.h>

#include <shlobj.h>
#endif

#include "bridge/directions.h"
#include "platform/sockets.h"

namespace bridge {
namespace {

using Json = nlohmann::ordered_json;  // keeps the file's order for /status

constexpr std::uint64_t kMaxBodyLimit = 64u << 20;  // what the engine takes as an answer
// An upstream time-out at or beyond the engine's own 30 s would never reach it.
constexpr std::uint64_t kMaxUpstreamTimeoutMs = 29999;

struct KindEntry {
    std::string_view name;
    UpstreamKind kind;
};
constexpr KindEntry kKinds[] = {
    {"apertium", UpstreamKind::Apertium},
    {"libretranslate", UpstreamKind::LibreTranslate},
    {"opus-mt", UpstreamKind::OpusMt},
    {"openai-chat", UpstreamKind::OpenAiChat},
};

// Walks the document, each fault thrown with the file and a JSON pointer.
class Reader {
  public:
    explicit Reader(const std::string& fileName) : fileName_(fileName) {}

    [[noreturn]] void Fail(const std::string& pointer, const std::string& what) const {
        throw ConfigError(fileName_ + ": " + (pointer.empty() ? "/" : pointer) + ": " + what);
    }

    const Json& Object(const Json& value, const std::string& pointer) const {
        if (!value.is_object()) {
            Fail(pointer, "must be an object");
        }
        return value;
    }

    void OnlyKeys(const Json& object, const std::string& pointer,
                  std::initializer_list<std::string_view> allowed) const {
        for (const auto& [key, value] : object.items()) {
            bool known = false;
            std::string list;
            for (std::string_view name : allowed) {
                known = known || key == name;
                list += (list.empty() ? "" : ", ") + std::string(name);
            }
            if (!known) {
                Fail(pointer + "/" + key, "unknown key (known here: " + list + ")");
            }
        }
    }

    std::uint64_t Integer(const Json& object, const std::string& pointer, std::string_view key,
                          std::uint64_t fallback, std::uint64_t low, std::uint64_t high) const {
        const auto found = object.find(std::string(key));
        if (found == object.end()) {
            return fallback;
        }
        const std::string at = pointer + "/" + std::string(key);
        if (!found->is_number_integer() ||
            (found->is_number_integer() && !found->is_number_unsigned() &&
             found->get<std::int64_t>() < 0) ||
            found->get<std::uint64_t>() < low || found->get<std::uint64_t>() > high) {
            Fail(at,
                 "must be an integer from " + std::to_string(low) + " to " + std::to_string(high));
        }
        return found->get<std::uint64_t>();
    }

    std::optional<std::string> String(const Json& object, const std::string& pointer,
                                      std::string_view key, bool mayBeEmpty = true) const {
        const auto found = object.find(std::string(key));
        if (found == object.end()) {
            return std::nullopt;
        }
        const std::string at = pointer + "/" + std::string(key);
        if (!found->is_string()) {
            Fail(at, "must be a string");
        }
        std::string value = found->get<std::string>();
        if (!mayBeEmpty && value.empty()) {
            Fail(at, "must not be empty");
        }
        return value;
    }

  private:
    const std::string& fileName_;
};

void ReadListen(const Reader& reader, const Json& root, BridgeConfig& config) {
    const auto found = root.find("listen");
    if (found == root.end()) {
        return;
    }
    const Json& listen = reader.Object(*found, "/listen");
    reader.OnlyKeys(listen, "/listen", {"port", "addresses"});
    config.port = static_cast<std::uint16_t>(
        reader.Integer(listen, "/listen", "port", config.port, 0, 65535));
    const auto addresses = listen.find("addresses");
    if (addresses == listen.end()) {
        return;
    }
    if (!addresses->is_array() || addresses->empty()) {
        reader.Fail("/listen/addresses", "must be a list of one or more loopback addresses");
    }
    config.addresses.clear();
    for (std::size_t i = 0; i < addresses->size(); ++i) {
        const std::string at = "/listen/addresses/" + std::to_string(i);
        const Json& address = (*addresses)[i];
        if (!address.is_string() || !net::LoopbackFamily(address.get<std::string>())) {
            reader.Fail(at, (address.is_string() ? "\"" + address.get<std::string>() + "\" " : "") +
                                "is not a numeric loopback address (127.x.x.x or ::1); the "
                                "bridge never listens on other interfaces");
        }
        config.addresses.push_back(address.get<std::string>());
    }
}

void ReadLimits(const Reader& reader, const Json& root, BridgeConfig& config) {
    if (const auto found = root.find("limits"); found != root.end()) {
        const Json& limits = reader.Object(*found, "/limits");
        reader.OnlyKeys(limits, "/limits",
                        {"max_body_bytes", "request_timeout_ms", "max_connections"});
        config.maxBodyBytes = reader.Integer(limits, "/limits", "max_body_bytes",
                                             config.maxBodyBytes, 1, kMaxBodyLimit);
        config.requestTimeout = std::chrono::milliseconds(reader.Integer(
            limits, "/limits", "request_timeout_ms", config.requestTimeout.count(), 1, 600000));
        config.maxConnections = static_cast<std::size_t>(
            reader.Integer(limits, "/limits", "max_connections", config.maxConnections, 1, 1024));
    }
    if (const auto found = root.find("cache"); found != root.end()) {
        const Json& cache = reader.Object(*found, "/cache");
        reader.OnlyKeys(cache, "/cache", {"max_bytes"});
        config.cacheMaxBytes = static_cast<std::size_t>(
            reader.Integer(cache, "/cache", "max_bytes", config.cacheMaxBytes, 0, 1u << 30));
    }
    if (const auto found = root.find("log"); found != root.end()) {
        const Json& log = reader.Object(*found, "/log");
        reader.OnlyKeys(log, "/log", {"max_bytes"});
        // Below a few lines' worth the file would be cut at nearly every line.
        config.logMaxBytes =
            reader.Integer(log, "/log", "max_bytes", config.logMaxBytes, 4096, 1u << 30);
    }
}

UpstreamSettings ReadUpstream(const Reader& reader, const std::string& name, const Json& value) {
    const std::string at = "/upstreams/" + name;
    const Json& object = reader.Object(value, at);
    reader.OnlyKeys(object, at,
                    {"kind", "url", "api_key", "model", "timeout_ms", "cooldown_ms", "max_chars"});
    UpstreamSettings settings;
    settings.name = name;
    const std::optional<std::string> kind = reader.String(object, at, "kind");
    if (!kind) {
        reader.Fail(at + "/kind", "missing (apertium, libretranslate, opus-mt or openai-chat)");
    }
    bool knownKind = false;
    for (const KindEntry& entry : kKinds) {
        if (*kind == entry.name) {
            settings.kind = entry.kind;
            knownKind = true;
        }
    }
    if (!knownKind) {
        reader.Fail(at + "/kind",
                    "\"" + *kind + "\" is not apertium, libretranslate, opus-mt or openai-chat");
    }
    const std::optional<std::string> url = reader.String(object, at, "url");
    if (!url) {
        reader.Fail(at + "/url", "missing (for example \"http://127.0.0.1:5000\")");
    }
    const std::size_t scheme = url->find("://");
    const std::string schemeName = scheme == std::string::npos ? "" : url->substr(0, scheme);
    if ((schemeName != "http" && schemeName != "https") || url->size() <= scheme + 3 ||
        url->find_first_of(" \t\r\n") != std::string::npos) {
        reader.Fail(at + "/url", "\"" + *url + "\" is not an http:// or https:// URL");
    }
    settings.url = *url;
    const bool keyed =
        settings.kind == UpstreamKind::LibreTranslate || settings.kind == UpstreamKind::OpenAiChat;
    if (object.contains("api_key") && !keyed) {
        reader.Fail(at + "/api_key", "only libretranslate and openai-chat upstreams take a key");
    }
    settings.apiKey = reader.String(object, at, "api_key").value_or("");
    if (object.contains("model") && settings.kind != UpstreamKind::OpenAiChat) {
        reader.Fail(at + "/model", "only openai-chat upstreams take a model");
    }
    settings.model = reader.String(object, at, "model").value_or("");
    settings.timeout = std::chrono::milliseconds(reader.Integer(
        object, at, "timeout_ms", settings.timeout.count(), 1, kMaxUpstreamTimeoutMs));
    settings.cooldown = std::chrono::milliseconds(
        reader.Integer(object, at, "cooldown_ms", settings.cooldown.count(), 0, 86400000));
    settings.maxChars =
        static_cast<std::size_t>(reader.Integer(object, at, "max_chars", 0, 0, 1u << 30));
    return settings;
}

void ReadUpstreamsAndRoutes(const Reader& reader, const Json& root, BridgeConfig& config) {
    const auto upstreams = root.find("upstreams");
    if (upstreams == root.end()) {
        reader.Fail("/upstreams", "missing: name at least one upstream server");
    }
    reader.Object(*upstreams, "/upstreams");
    std::set<std::string> names;
    for (const auto& [name, value] : upstreams->items()) {
        config.upstreams.push_back(ReadUpstream(reader, name, value));
        names.insert(name);
    }
    const auto directions = root.find("directions");
    if (directions == root.end() || !directions->is_object() || directions->empty()) {
        reader.Fail("/directions", "must name at least one of " + DirectionCodeList());
    }
    for (const auto& [code, steps] : directions->items()) {
        const std::string at = "/directions/" + code;
        const std::optional<Direction> direction = DirectionOfCode(code);
        if (!direction) {
            reader.Fail(at, "not a direction the engine asks for (" + DirectionCodeList() + ")");
        }
        if (!steps.is_array() || steps.empty()) {
            reader.Fail(at, "must be a list of one or more {\"upstream\": NAME} steps");
        }
        std::vector<RouteStep>& route = config.routes[code];
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const std::string stepAt = at + "/" + std::to_string(i);
            const Json& step = reader.Object(steps[i], stepAt);
            reader.OnlyKeys(step, stepAt, {"upstream", "from", "to"});
            const std::optional<std::string> upstream = reader.String(step, stepAt, "upstream");
            if (!upstream) {
                reader.Fail(stepAt + "/upstream", "missing: a key of /upstreams");
            }
            if (names.count(*upstream) == 0) {
                reader.Fail(stepAt + "/upstream",
                            "\"" + *upstream + "\" is not a key of /upstreams");
            }
            route.push_back(
                {*upstream,
                 reader.String(step, stepAt, "from", false).value_or(std::string(direction->from)),
                 reader.String(step, stepAt, "to", false).value_or(std::string(direction->to))});
        }
    }
}

}  // namespace

std::string_view KindName(UpstreamKind kind) {
    for (const KindEntry& entry : kKinds) {
        if (entry.kind == kind) {
            return entry.name;
        }
    }
    return "?";
}

BridgeConfig ParseConfig(std::string_view text, const std::string& fileName) {
    const Reader reader(fileName);
    Json root;
    try {
        root = Json::parse(text);
    } catch (const Json::parse_error& error) {
        // nlohmann's words: "[json.exception.parse_error.101] parse error at line 3, column 5: ..."
        std::string what = error.what();
        const std::size_t at = what.find("] ");
        throw ConfigError(fileName + ": not valid JSON: " +
                          (at == std::string::npos ? what : what.substr(at + 2)));
    }
    reader.Object(root, "");
    reader.OnlyKeys(root, "", {"listen", "limits", "cache", "log", "upstreams", "directions"});
    BridgeConfig config;
    ReadListen(reader, root, config);
    ReadLimits(reader, root, config);
    ReadUpstreamsAndRoutes(reader, root, config);
    return config;
}

BridgeConfig LoadConfig(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw ConfigError(path + ": cannot be read (give another with --config FILE)");
    }
    std::ostringstream text;
    text << file.rdbuf();
    return ParseConfig(text.str(), path);
}

#ifdef _WIN32
namespace {
// %ProgramData%\QnBridge, the folder asked of the system rather than read from
// the environment: a service's need not name it (Wine gives its services
// C:\users\Public there), and the installer puts the configuration in the
// system's folder.
std::string DataFolder() {
    char folder[MAX_PATH] = {};
    if (SUCCEEDED(
            SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return std::string(folder) + "\\QnBridge";
    }
    const char* programData = std::getenv("ProgramData");
    return std::string(programData != nullptr && *programData != '\0' ? programData
                                                                      : "C:\\ProgramData") +
           "\\QnBridge";
}
}  // namespace
#endif

std::string DefaultConfigPath() {
#ifdef _WIN32
    return DataFolder() + "\\bridge.json";
#else
    return "/etc/qn-bridge/bridge.json";
#endif
}

std::string ServiceLogPath() {
#ifdef _WIN32
    return DataFolder() + "\\qn-bridge.log";
#else
    return "/var/log/qn-bridge/qn-bridge.log";
#endif
}

}  // namespace bridge
