#include "bridge/run_bridge.h"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "bridge/bridge_service.h"
#include "bridge/command_line.h"
#include "bridge/config.h"
#include "bridge/configure_command.h"
#include "bridge/http_server.h"
#include "bridge/log_file.h"
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
        << " connections\ncache: " << config.cacheMaxBytes << " bytes\nlog file: below "
        << config.logMaxBytes << " bytes\n";
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

// Where the run writes: its log file when it has one, else `err`. A message
// that ends the run reaches `err` as well, for whoever started the bridge.
class RunOutput {
  public:
    explicit RunOutput(std::ostream& err) : err_(err), fileStream_(nullptr) {}

    // False, said on `err`, when the file cannot be written.
    bool Open(const std::string& path, std::uint64_t maxBytes) {
        try {
            file_.emplace(path, maxBytes);
        } catch (const std::exception& error) {
            err_ << "qn-bridge: " << error.what() << '\n';
            return false;
        }
        fileStream_.rdbuf(&*file_);
        return true;
    }
    LogFile* File() { return file_ ? &*file_ : nullptr; }
    std::ostream& Log() { return file_ ? fileStream_ : err_; }

    void Fatal(const std::string& message) {
        if (file_) {
            fileStream_ << UtcTimestamp(std::chrono::system_clock::now())
                        << " qn-bridge: " << message << std::endl;
        }
        err_ << "qn-bridge: " << message << '\n';
    }

  private:
    std::ostream& err_;
    std::optional<LogFile> file_;
    std::ostream fileStream_;
};

}  // namespace

int RunBridge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const TranslatorFactory& makeTranslator, const std::atomic<bool>& stop,
              const RunHost& host) {
    RunOutput output(err);
    CommandLine line;
    try {
        line = ParseCommandLine(args);
    } catch (const CommandLineError& error) {
        // A service's command line that is wrong is said in its log too.
        if (!host.defaultLogFile.empty()) {
            output.Open(host.defaultLogFile, BridgeConfig{}.logMaxBytes);
        }
        output.Fatal(error.what());
        err << kUsage;
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

    if (line.action == CommandLine::Action::Configure) {
        return RunConfigure(line.commandArgs, out, err);
    }
    if (line.action == CommandLine::Action::Unconfigure) {
        return RunUnconfigure(line.commandArgs, out, err);
    }
    // Opened before the configuration is read, so that its faults reach the log.
    const std::string logPath = line.logFile.value_or(host.defaultLogFile);
    if (line.action == CommandLine::Action::Serve && !logPath.empty() &&
        !output.Open(logPath, BridgeConfig{}.logMaxBytes)) {
        return kExitCannotServe;
    }
    const std::string path = line.configPath.value_or(DefaultConfigPath());
    BridgeConfig config;
    try {
        config = LoadConfig(path);
    } catch (const ConfigError& error) {
        output.Fatal(error.what());
        return kExitBadConfig;
    }
    if (line.port) {
        config.port = *line.port;
    }
    if (line.action == CommandLine::Action::CheckConfig) {
        PrintSummary(out, path, config);
        return kExitOk;
    }
    if (LogFile* file = output.File()) {
        file->SetMaxBytes(config.logMaxBytes);
    }

    std::unique_ptr<Translator> translator;
    try {
        translator = makeTranslator(config.upstreams, config.routes);
    } catch (const std::exception& error) {
        output.Fatal(path + ": " + error.what());
        return kExitBadConfig;
    }
    TranslationCache cache(config.cacheMaxBytes);
    RequestLog log(output.Log(), line.logText);
    BridgeService service(*translator, cache, log, config.routes, QN_BRIDGE_VERSION);
    std::optional<HttpServer> server;
    try {
        server.emplace(
            config.addresses, config.port,
            ServerLimits{config.maxBodyBytes, config.requestTimeout, config.maxConnections},
            service);
    } catch (const std::exception& error) {
        output.Fatal(error.what());
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
    if (host.serving) {
        host.serving();
    }

    while (!stop) {
        std::this_thread::sleep_for(kStopPoll);
    }
    log.Note("stopping: no new connections; waiting for the requests in flight");
    if (!server->Stop(kStopGrace)) {
        // An upstream call cannot be interrupted; the process leaves it behind.
        log.Note("requests still in flight after the grace period; exiting without them");
        err.flush();
        if (host.abandoning) {
            host.abandoning(kExitOk);
        }
        std::_Exit(kExitOk);
    }
    server.reset();
    log.Note("stopped");
    return kExitOk;
}

}  // namespace bridge
