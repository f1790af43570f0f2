// qn-bridge configure and unconfigure against the real engine server: under
// Wine the registered 64-bit server (and the 32-bit one where 32-bit programs
// run) with each registry view, natively the native server over a scratch
// registry store.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bridge/configure_command.h"
#include "bridge/configure_registry.h"
#include "bridge/configure_system.h"
#include "bridge/run_bridge.h"
#include "config/registry.h"
#include "server/registry_paths.h"
#include "tests/server/server_process.h"

namespace {

namespace fs = std::filesystem;

constexpr char kInstallLoc[] = "DravikHybridInstallLoc";

// The directions the engine registers, as its model folders name them.
const std::vector<std::string> kRegistered = {"ar-en", "en-ar", "fa-en", "en-fa", "de-en", "en-de",
                                              "fr-en", "en-fr", "it-en", "en-it", "ru-en", "en-ru"};

std::string ConfigText(const std::vector<std::string>& directions) {
    std::string routes;
    for (const std::string& direction : directions) {
        routes += (routes.empty() ? "\"" : ", \"") + direction + "\": [{\"upstream\": \"u\"}]";
    }
    return R"({"upstreams": {"u": {"kind": "libretranslate", "url": "http://127.0.0.1:5000"}},
               "directions": {)" +
           routes + "}}";
}

struct BridgeRun {
    int code = -1;
    std::string out;
    std::string err;
};

BridgeRun Bridge(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const std::atomic<bool> stop{true};
    BridgeRun run;
    run.code = bridge::RunBridge(
        args, out, err,
        [](const std::vector<bridge::UpstreamSettings>&,
           const std::map<std::string, std::vector<bridge::RouteStep>>&) {
            return std::unique_ptr<bridge::Translator>();
        },
        stop);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// The engine servers this test registers, by the registry view each reads.
struct TestServer {
    REGSAM view;
    std::string path;  // as the test starts it
};

std::vector<TestServer> Servers() {
#ifdef _WIN32
    auto windowsPath = [](std::string path) {
        path = "Z:" + path;
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    };
    // The build's own server registers in the view of its width.
    constexpr REGSAM ownView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    std::vector<TestServer> servers = {{ownView, windowsPath(QN_SERVER_EXE)}};
#ifdef QN_WIN32_SERVER_EXE
    const char* runs32 = std::getenv("QN_WINE_32BIT");
    const std::string x86 = windowsPath(QN_WIN32_SERVER_EXE);
    if ((runs32 == nullptr || std::string(runs32) != "0") && fs::exists(x86)) {
        servers.push_back({KEY_WOW64_32KEY, x86});
    }
#endif
    return servers;
#else
    return {{0, QN_SERVER_EXE}};
#endif
}

std::optional<std::string> ReadValue(REGSAM view, const char* name) {
    Registry key(HKEY_LOCAL_MACHINE, server::kServerKeyPath, view);
    std::string value;
    return key.ReadString(name, value) ? std::optional<std::string>(value) : std::nullopt;
}

// The directions whose Suppress is 0 in a view.
std::set<std::string> Offered(REGSAM view) {
    std::set<std::string> offered;
    Registry engines(HKEY_LOCAL_MACHINE, server::kEnginesKeyPath, view);
    for (const std::string& name : engines.SubKeyNames()) {
        SubKey engine(engines, name);
        DWORD suppress = 1;
        if (engine.ReadDword("Suppress", suppress) && suppress == 0) {
            offered.insert(engine.GetString("SourceLanguage", "") + "-" +
                           engine.GetString("TranslationLanguage", ""));
        }
    }
    return offered;
}

class ConfigureCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        scratch_ = fs::temp_directory_path() / ("qn-configure-" + std::string(test->name()));
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
#ifndef _WIN32
        setenv(kRegistryFileVariable, (scratch_ / "registry.reg").c_str(), 1);
        HKEY software = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &software, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(software);
#endif
        ClearValues();
        folder_ = (scratch_ / "backend").string();
    }

    void TearDown() override {
        for (const TestServer& server : registered_) {
            RunProcess(server.path, "/UnregServer");
        }
        ClearValues();
        std::error_code ignored;
        fs::remove_all(scratch_, ignored);
    }

    static void ClearValues() {
        for (const bridge::RegistryView& view : bridge::RegistryViews()) {
            Registry key(HKEY_LOCAL_MACHINE, server::kServerKeyPath, view.flag);
            key.DeleteValue(kInstallLoc);
            key.DeleteValue(bridge::kReplacedInstallLocValue);
        }
    }

    void RegisterServers() {
        for (const TestServer& server : Servers()) {
            const ProcessResult result = RunProcess(server.path, "/RegServer");
            ASSERT_EQ(result.exitCode, 0) << server.path << ": " << result.errorOutput;
            registered_.push_back(server);
        }
    }

    std::string WriteConfig(const std::string& text) {
        const fs::path path = scratch_ / "bridge.json";
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    BridgeRun Run(const char* command, const std::string& config,
                  std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {command, "--config", config, "--folder", folder_};
        args.insert(args.end(), extra.begin(), extra.end());
        return Bridge(args);
    }

    std::set<std::string> ModelFolders() const {
        std::set<std::string> names;
        const fs::path models = fs::path(folder_) / "DravikHMT" / "Models";
        if (fs::is_directory(models)) {
            for (const auto& entry : fs::directory_iterator(models)) {
                names.insert(entry.path().filename().string());
            }
        }
        return names;
    }

    fs::path scratch_;
    std::string folder_;
    std::vector<TestServer> registered_;
};

TEST_F(ConfigureCommandTest, TheEngineOffersExactlyTheConfiguredDirections) {
    RegisterServers();
    // A model folder the user made stays, and its direction stays offered.
    fs::create_directories(fs::path(folder_) / "DravikHMT" / "Models" / "fa-en");
    BridgeRun run = Run("configure", WriteConfig(ConfigText({"de-en", "it-en", "en-ar"})));
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    run = Run("configure", WriteConfig(ConfigText({"de-en", "it-en"})));
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Removed"), std::string::npos) << run.out;  // en-ar left the file
    EXPECT_EQ(ModelFolders(), (std::set<std::string>{"de-en", "fa-en", "it-en"}));
    for (const TestServer& server : registered_) {
        EXPECT_EQ(Offered(server.view), (std::set<std::string>{"de-en", "fa-en", "it-en"}))
            << "view " << server.view;
        EXPECT_EQ(ReadValue(server.view, kInstallLoc), folder_) << "view " << server.view;
    }

    run = Run("unconfigure", WriteConfig("broken"));  // unconfigure never reads the file
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(ModelFolders(), (std::set<std::string>{"fa-en"}));
    for (const TestServer& server : registered_) {
        EXPECT_EQ(ReadValue(server.view, kInstallLoc), std::nullopt) << "view " << server.view;
        EXPECT_EQ(Offered(server.view), std::set<std::string>()) << "view " << server.view;
    }
}

// What configure does with the install folder the registry named before, and
// what unconfigure puts back. No server is registered: only the values count.
TEST_F(ConfigureCommandTest, AnotherInstallIsRepointedOnlyWhenToldAndPutBack) {
    const std::string other = (scratch_ / "OtherInstall").string();
    const std::string gone = (scratch_ / "Uninstalled").string();
    fs::create_directories(other);
    struct Case {
        const char* what;
        std::optional<std::string> before;
        bool replace;
        int code;
        bool repointed;
    };
    const Case cases[] = {
        {"not set", std::nullopt, false, 0, true},
        {"a folder that is gone", gone, false, 0, true},
        {"another install", other, false, bridge::kExitConfigureRefused, false},
        {"another install, --replace", other, true, 0, true},
    };
    const std::string config = WriteConfig(ConfigText({"de-en"}));
    const std::vector<bridge::RegistryView> views = bridge::RegistryViews();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearValues();
        for (const bridge::RegistryView& view : views) {
            if (c.before) {
                Registry(HKEY_LOCAL_MACHINE, server::kServerKeyPath, view.flag)
                    .WriteString(kInstallLoc, *c.before);
            }
        }
        BridgeRun run =
            Run("configure", config,
                c.replace ? std::vector<std::string>{"--replace"} : std::vector<std::string>{});
        EXPECT_EQ(run.code, c.code) << run.out << run.err;
        for (const bridge::RegistryView& view : views) {
            EXPECT_EQ(ReadValue(view.flag, kInstallLoc), c.repointed ? folder_ : c.before);
            EXPECT_EQ(ReadValue(view.flag, bridge::kReplacedInstallLocValue),
                      c.repointed ? c.before : std::nullopt);
        }
        if (c.repointed) {
            EXPECT_NE(run.out.find(folder_), std::string::npos) << run.out;  // says what changed
        } else {
            EXPECT_NE(run.err.find("--replace"), std::string::npos) << run.err;
            EXPECT_FALSE(fs::exists(folder_));  // nothing changed
        }

        run = Run("unconfigure", config);
        EXPECT_EQ(run.code, 0) << run.out << run.err;
        for (const bridge::RegistryView& view : views) {
            EXPECT_EQ(ReadValue(view.flag, kInstallLoc), c.before);
            EXPECT_EQ(ReadValue(view.flag, bridge::kReplacedInstallLocValue), std::nullopt);
        }
        EXPECT_TRUE(fs::is_directory(other));
    }

    // A configuration the bridge rejects changes nothing either; the reason
    // also reaches the log file, stamped, for an installer that shows no output.
    ClearValues();
    const std::string log = (scratch_ / "configure.log").string();
    const BridgeRun run =
        Run("configure", WriteConfig("{\"directions\": {}}"), {"--log-file", log});
    EXPECT_EQ(run.code, bridge::kExitBadConfig);
    EXPECT_NE(run.err.find("bridge.json"), std::string::npos) << run.err;
    EXPECT_EQ(ReadValue(views[0].flag, kInstallLoc), std::nullopt);
    std::ifstream logged(log);
    std::string line;
    ASSERT_TRUE(std::getline(logged, line)) << log;
    EXPECT_EQ(line.find(' '), 24u) << line;  // the UTC time first
    EXPECT_NE(line.find("bridge.json: /upstreams"), std::string::npos) << line;
}

}  // namespace
