#include "bridge/configure_command.h"

#include <filesystem>
#include <chrono>
#include <optional>
#include <set>
#include <stdexcept>

#include "bridge/config.h"
#include "bridge/configure_folder.h"
#include "bridge/configure_registry.h"
#include "bridge/configure_system.h"
#include "bridge/log_file.h"
#include "bridge/request_log.h"
#include "bridge/run_bridge.h"
#include "config/registry.h"

namespace bridge {

const char* const kConfigureUsage =
    "usage: qn-bridge configure [--config FILE] [--folder DIR] [--replace] [--server PATH]\n"
    "                           [--log-file LOG]\n"
    "       qn-bridge unconfigure [--config FILE] [--folder DIR] [--server PATH] [--log-file LOG]\n"
    "configure makes the engine offer exactly the directions FILE serves: a model folder per\n"
    "direction in DIR, DravikHybridInstallLoc pointed at DIR, then the engine server's\n"
    "/Configure (the registered server's, or PATH's). --replace lets it repoint an install\n"
    "folder that names another existing back end; unconfigure puts that value back.\n"
    "--log-file adds what it says, line by line with the time, to LOG (for installers).\n";

namespace {

namespace fs = std::filesystem;

struct Options {
    std::optional<std::string> configPath;
    std::optional<std::string> folder;
    std::optional<std::string> server;
    std::optional<std::string> logFile;
    bool replace = false;
    bool help = false;
};

Options ParseOptions(const std::vector<std::string>& args, bool replaceAllowed) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                throw std::invalid_argument(arg + " needs a value");
            }
            return args[++i];
        };
        if (arg == "--config") {
            options.configPath = value();
        } else if (arg == "--folder") {
            options.folder = value();
        } else if (arg == "--server") {
            options.server = value();
        } else if (arg == "--log-file") {
            options.logFile = value();
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--replace" && replaceAllowed) {
            options.replace = true;
        } else {
            throw std::invalid_argument("unknown argument \"" + arg + "\"");
        }
    }
    return options;
}

// The folder as the registry will hold it: absolute, without a final separator.
std::string BackendFolderPath(const Options& options, const std::string& configPath) {
    fs::path folder = fs::absolute(options.folder.value_or(DefaultBackendFolder(configPath)));
    folder = folder.lexically_normal().make_preferred();
    std::string text = folder.string();
    while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) {
        text.pop_back();
    }
    return text;
}

bool SamePath(const std::string& a, const std::string& b) {
    if (fs::path(a).lexically_normal() == fs::path(b).lexically_normal()) {
        return true;
    }
    std::error_code error;
    return fs::equivalent(a, b, error);
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// What configure does to one view's install folder value.
struct ViewPlan {
    EngineRegistry registry;
    std::optional<std::string> current;
    bool change = false;
    std::optional<std::string> record;  // what to record as replaced
    std::string refusal;                // why it may not be changed without --replace
};

ViewPlan PlanView(const RegistryView& view, const std::string& folder, bool replace) {
    ViewPlan plan{EngineRegistry(view), std::nullopt, false, std::nullopt, {}};
    plan.current = plan.registry.InstallLocation();
    if (!plan.current) {
        plan.change = true;
        return plan;
    }
    const std::string named = LocalPath(*plan.current);
    if (SamePath(named, folder)) {
        return plan;  // already the bridge's
    }
    plan.change = true;
    if (BackendFolder::IsBridgeFolder(named)) {
        plan.record = plan.registry.ReplacedRecord();  // a bridge folder moved: keep the original
        return plan;
    }
    std::error_code error;
    if (fs::exists(named, error) && !replace) {
        plan.refusal = "DravikHybridInstallLoc (" + std::string(view.name) + ") names " +
                       Quoted(*plan.current) + ", an existing back-end install";
    }
    plan.record = plan.current;
    return plan;
}

// The engine servers to run: the given one, or each registered width's.
std::vector<std::string> ServerPrograms(const Options& options) {
    if (options.server) {
        return {*options.server};
    }
    std::vector<std::string> programs;
    for (const RegistryView& view : RegistryViews()) {
        const std::string program = EngineRegistry(view).ServerProgram();
        bool seen = program.empty();
        for (const std::string& known : programs) {
            seen = seen || SamePath(known, program);
        }
        if (!seen) {
            programs.push_back(program);
        }
    }
    return programs;
}

// Runs each server's /Configure; false when one failed.
bool RunServers(const Options& options, std::ostream& out, std::ostream& err) {
    const std::vector<std::string> programs = ServerPrograms(options);
    if (programs.empty()) {
        out << "No engine server is registered: its registration runs /Configure, which will "
               "find these folders.\n";
        return true;
    }
    bool ok = true;
    for (const std::string& program : programs) {
        std::string problem;
        const int code = RunServerConfigure(program, problem);
        if (code == 0) {
            out << "Ran " << Quoted(program) << " /Configure: exit code 0.\n";
            continue;
        }
        ok = false;
        err << "qn-bridge: " << Quoted(program) << " /Configure failed: "
            << (code < 0 ? problem
                         : "exit code " + std::to_string(code) +
                               " (it writes the engine list, which needs administrator rights)")
            << '\n';
    }
    return ok;
}

void PrintFolderChanges(const BackendFolder::Changes& changes, std::ostream& out) {
    for (const std::string& path : changes.made) {
        out << "Made " << path << '\n';
    }
    for (const std::string& path : changes.removed) {
        out << "Removed " << path << " (its direction is no longer configured)\n";
    }
    for (const std::string& path : changes.kept) {
        out << "Left " << path << " alone: qn-bridge did not make it, so the engine offers "
            << "its direction too\n";
    }
}

// A report stream that also adds each of its lines, stamped with the time, to
// a log file: an installer that runs configure shows none of its output.
class LoggedReport : public std::streambuf {
  public:
    LoggedReport(std::ostream& to, LogFile* log) : to_(to), log_(log) {}
    ~LoggedReport() override {
        if (!line_.empty()) {
            WriteLine();
        }
    }

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char one = traits_type::to_char_type(c);
        to_.put(one);
        if (log_ != nullptr) {
            line_ += one;
            if (one == '\n') {
                WriteLine();
            }
        }
        return c;
    }

  private:
    void WriteLine() {
        const std::string stamped = UtcTimestamp(std::chrono::system_clock::now()) + ' ' + line_;
        log_->sputn(stamped.data(), static_cast<std::streamsize>(stamped.size()));
        log_->pubsync();
        line_.clear();
    }

    std::ostream& to_;
    LogFile* log_;
    std::string line_;
};

int ConfigureFailed(std::ostream& err, const std::string& what) {
    err << "qn-bridge: " << what << '\n';
    return kExitConfigureFailed;
}

int Configure(const Options& options, std::ostream& out, std::ostream& err) {
    const std::string configPath = options.configPath.value_or(DefaultConfigPath());
    BridgeConfig config;
    try {
        config = LoadConfig(configPath);
    } catch (const ConfigError& error) {
        err << "qn-bridge: " << error.what() << '\n';
        return kExitBadConfig;
    }
    std::set<std::string> directions;
    for (const auto& route : config.routes) {
        directions.insert(route.first);
    }
    const std::string folder = BackendFolderPath(options, configPath);

    // Every view is checked before anything changes.
    std::vector<ViewPlan> plans;
    for (const RegistryView& view : RegistryViews()) {
        plans.push_back(PlanView(view, folder, options.replace));
    }
    bool refused = false;
    for (const ViewPlan& plan : plans) {
        if (!plan.refusal.empty()) {
            err << "qn-bridge: " << plan.refusal << ".\n";
            refused = true;
        }
    }
    if (refused) {
        err << "qn-bridge: nothing changed. Run qn-bridge configure --replace to point it at "
            << Quoted(folder)
            << " instead; the value it replaces is kept and qn-bridge unconfigure puts it back.\n";
        return kExitConfigureRefused;
    }

    try {
        PrintFolderChanges(BackendFolder(folder).Arrange(directions), out);
    } catch (const fs::filesystem_error& error) {
        return ConfigureFailed(err,
                               "cannot prepare the folder " + Quoted(folder) + ": " + error.what());
    }
    for (const ViewPlan& plan : plans) {
        if (!plan.change) {
            out << "DravikHybridInstallLoc (" << plan.registry.View().name << ") already names "
                << Quoted(folder) << ".\n";
            continue;
        }
        try {
            plan.registry.Repoint(folder, plan.record);
        } catch (const QuillonException& error) {
            return ConfigureFailed(err, "cannot write DravikHybridInstallLoc (" +
                                            std::string(plan.registry.View().name) + ") under " +
                                            error.Message() + ": run as administrator");
        }
        out << "DravikHybridInstallLoc (" << plan.registry.View().name
            << "): " << (plan.current ? Quoted(*plan.current) : "not set") << " -> "
            << Quoted(folder);
        if (plan.record) {
            out << "; " << Quoted(*plan.record) << " kept in " << kReplacedInstallLocValue
                << " for qn-bridge unconfigure";
        }
        out << '\n';
    }
    const bool serversOk = RunServers(options, out, err);
    std::string served;
    for (const std::string& direction : directions) {
        served += (served.empty() ? "" : ", ") + direction;
    }
    out << "Directions the engine offers from this bridge: " << served << '\n';
    return serversOk ? kExitOk : kExitConfigureFailed;
}

int Unconfigure(const Options& options, std::ostream& out, std::ostream& err) {
    // The configuration is not read: a broken one must not keep the uninstall
    // from putting things back.
    const std::string configPath = options.configPath.value_or(DefaultConfigPath());
    const std::string folder = BackendFolderPath(options, configPath);
    std::vector<std::string> bridgeFolders = {folder};

    for (const RegistryView& view : RegistryViews()) {
        const EngineRegistry registry(view);
        const std::optional<std::string> current = registry.InstallLocation();
        const std::string named = current ? LocalPath(*current) : std::string();
        try {
            if (current && (SamePath(named, folder) || BackendFolder::IsBridgeFolder(named))) {
                const std::optional<std::string> record = registry.ReplacedRecord();
                registry.Restore();
                out << "DravikHybridInstallLoc (" << view.name << "): " << Quoted(*current)
                    << " -> " << (record ? Quoted(*record) : "removed (it was not set before)")
                    << '\n';
                if (!SamePath(named, folder)) {
                    bridgeFolders.push_back(named);
                }
            } else if (registry.ReplacedRecord()) {
                // Someone pointed it elsewhere since: theirs stays.
                registry.ForgetRecord();
                out << "DravikHybridInstallLoc (" << view.name << ") names "
                    << (current ? Quoted(*current) : "nothing")
                    << ", not the bridge's folder: left as it is.\n";
            }
        } catch (const QuillonException& error) {
            return ConfigureFailed(err, "cannot write DravikHybridInstallLoc (" +
                                            std::string(view.name) + ") under " + error.Message() +
                                            ": run as administrator");
        }
    }
    for (const std::string& path : bridgeFolders) {
        try {
            const BackendFolder::Changes changes = BackendFolder(path).Clear();
            for (const std::string& removed : changes.removed) {
                out << "Removed " << removed << '\n';
            }
        } catch (const fs::filesystem_error& error) {
            err << "qn-bridge: could not tidy " << Quoted(path) << ": " << error.what() << '\n';
        }
    }
    return RunServers(options, out, err) ? kExitOk : kExitConfigureFailed;
}

using Command = int (*)(const Options&, std::ostream& out, std::ostream& err);

// `qn-bridge NAME args`: the options read, then `command` run with what it
// says copied to the log file the options name, if any.
int RunCommand(const char* name, const std::vector<std::string>& args, bool replaceAllowed,
               std::ostream& out, std::ostream& err, Command command) {
    Options options;
    try {
        options = ParseOptions(args, replaceAllowed);
    } catch (const std::invalid_argument& error) {
        err << "qn-bridge " << name << ": " << error.what() << '\n' << kConfigureUsage;
        return kExitBadConfig;
    }
    if (options.help) {
        out << kConfigureUsage;
        return kExitOk;
    }
    std::optional<LogFile> log;
    if (options.logFile) {
        try {
            log.emplace(*options.logFile, BridgeConfig{}.logMaxBytes);
        } catch (const std::exception& error) {
            err << "qn-bridge: " << error.what() << " (going on without it)\n";
        }
    }
    LoggedReport outReport(out, log ? &*log : nullptr);
    LoggedReport errReport(err, log ? &*log : nullptr);
    std::ostream loggedOut(&outReport);
    std::ostream loggedErr(&errReport);
    return command(options, loggedOut, loggedErr);
}

}  // namespace

int RunConfigure(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunCommand("configure", args, true, out, err, Configure);
}

int RunUnconfigure(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunCommand("unconfigure", args, false, out, err, Unconfigure);
}

}  // namespace bridge
