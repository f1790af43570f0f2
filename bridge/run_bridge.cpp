#include "bridge/run_bridge.h"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "bridge/bridge_service.h"
#include "bridge/command_line.h"
#include "bridge/config.h"
#include "bridge/http_server.h"
#include "bridge/request_log.h"
#include "bridge/translation_cache.h"

#ifndef QN_BRIDGE_VERSION
#define QN_BRIDGE_VERSION "0.0.0"
#endif

namespace bridge {
namespace {

// Requests in flight at a stop get this long to finish.
constexpr std::chrono::seconds kStopGrace{5};
constexpr std::chrono::milliseconds kStopPoll{100};

std::string Endpoint(const std::string& address, std::uint16_t port) {
    return (address.find(':') == std::string::npos ? address : "[" + address + "]") + ":" +
           std::to_string(port);
}

// What --check-config prints: everything but keys.
void PrintSummary(std::ostream& out, const std::string& path, const BridgeConfig& config) {
    out << path << ": valid\n";
    out << "listen:";
    for (const std::string& address : config.addresses) {
        out << ' ' << Endpoint(address, config.port);
    }
    out << "\nlimits: body " << config.maxBodyBytes << " bytes, request "
        << config.requestTimeout.count() << " ms, " << config.maxConnections
        << " connections\ncache: " << config.cacheMaxBytes << " bytes\n";
    for (const UpstreamSettings& upstream : config.upstreams) {
        out << "upstream " << upstream.name << ": " << KindName(upstream.kind) << ' '
            << upstream.url << ", time-out " << upstream.timeout.count() << " ms, cool-down "
            << upstream.cooldown.count() << " ms";
        if (upstream.maxChars != 0) {
            out << ", at most " << upstream.maxChars << " characters a call";
        }
        if (!upstream.model.empty()) {
            out << ", model " << upstream.model;
        }
        if (!upstream.apiKey.empty()) {
            out << ", key set";
        }
        out << '\n';
    }
    for (const auto& [direction, route] : config.routes) {
        out << "direction " << direction << ":";
        for (const RouteStep& step : route) {
            out << ' ' << step.upstream << " (" << step.from << "->" << step.to << ")";
        }
        out << '\n';
    }
}

}  // namespace

int RunBridge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const TranslatorFactory& makeTranslator, const std::atomic<bool>& stop) {
    CommandLine line;
    try {
        line = ParseCommandLine(args);
    } catch (const CommandLineError& error) {
        err << "qn-bridge: " << error.what() << '\n' << kUsage;
        return kExitBadConfig;
    }
    if (line.action == CommandLine::Action::Help) {
        out << kUsage;
        return kExitOk;
    }
    if (line.action == CommandLine::Action::Version) {
        out << "qn-bridge " << QN_BRIDGE_VERSION << '\n';
        return kExitOk;
    }

    const std::string path = line.configPath.value_or(DefaultConfigPath());
    BridgeConfig config;
    try {
        config = LoadConfig(path);
    } catch (const ConfigError& error) {
        err << "qn-bridge: " << error.what() << '\n';
        return kExitBadConfig;
    }
    if (line.port) {
        config.port = *line.port;
    }
    if (line.action == CommandLine::Action::CheckConfig) {
        PrintSummary(out, path, config);
        return kExitOk;
    }

    std::unique_ptr<Translator> translator;
    try {
        translator = makeTranslator(config.upstreams, config.routes);
    } catch (const std::exception& error) {
        err << "qn-bridge: " << path << ": " << error.what() << '\n';
        return kExitBadConfig;
    }
    TranslationCache cache(config.cacheMaxBytes);
    RequestLog log(err, line.logText);
    BridgeService service(*translator, cache, log, config.routes, QN_BRIDGE_VERSION);
    std::optional<HttpServer> server;
    try {
        server.emplace(
            config.addresses, config.port,
            ServerLimits{config.maxBodyBytes, config.requestTimeout, config.maxConnections},
            service);
    } catch (const std::exception& error) {
        err << "qn-bridge: " << error.what() << '\n';
        return kExitCannotServe;
    }
    for (const std::string& address : server->Skipped()) {
        log.Note("not listening on " + address + ": this machine has no such address");
    }
    std::string listening;
    for (const std::string& address : server->Bound()) {
        listening += (listening.empty() ? "" : ", ") + Endpoint(address, server->Port());
    }
    std::string directions;
    for (const auto& route : config.routes) {
        directions += (directions.empty() ? "" : ", ") + route.first;
    }
    log.Note(std::string("qn-bridge ") + QN_BRIDGE_VERSION + " listening on " + listening +
             " (configuration " + path + "; directions " + directions + ")");

    while (!stop) {
        std::this_thread::sleep_for(kStopPoll);
    }
    log.Note("stopping: no new connections; waiting for the requests in flight");
    if (!server->Stop(kStopGrace)) {
        // An upstream call cannot be interrupted; the process leaves it behind.
        log.Note("requests still in flight after the grace period; exiting without them");
        err.flush();
        std::_Exit(kExitOk);
    }
    server.reset();
    log.Note("stopped");
    return kExitOk;
}

}  // namespace bridge
