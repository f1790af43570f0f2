// The host tool's commands driving the real engine: out of process by ProgID
// under Wine, in process natively; the test back end listens on the engine's
// fixed port whenever a test needs one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bridge/bridge_service.h"
#include "bridge/http_server.h"
#include "bridge/upstream_pool.h"
#include "config/registry.h"
#include "server/registry_paths.h"
#include "tests/bridge/support/mt_stand_ins.h"
#include "tests/server/server_process.h"
#include "tools/backend/test_backend.h"
#include "tools/host/exit_codes.h"
#include "tools/host/host_tool.h"

#ifndef _WIN32
#include <unistd.h>

#include <cstdlib>

#include "platform/registry.h"
#include "server/configure.h"
#include "server/registration.h"
#endif

namespace host {
namespace {

namespace fs = std::filesystem;

constexpr char kGermanText[] = "Hallo Welt\nHaus\n\n  \nBuch und Haus\n";

struct HostRun {
    int code = -1;
    std::string out;
    std::string err;
};

HostRun Host(const std::vector<std::string>& args, const std::string& input = "",
             bool outputBroken = false) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    if (outputBroken) {
        out.setstate(std::ios::badbit);
    }
    HostIo io{in, out, err, false};
    HostRun run;
    run.code = RunHost(args, io);
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

#ifdef _WIN32
std::string ServerPath() {
    std::string path = std::string("Z:") + QN_SERVER_EXE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}
#endif

void RegisterEngine() {
#ifdef _WIN32
    const ProcessResult registered = RunProcess(ServerPath(), "/RegServer");
    ASSERT_EQ(registered.exitCode, 0) << registered.errorOutput;
#else
    ASSERT_EQ(server::RegisterServer(), S_OK);
    server::Configure();
#endif
}

void UnregisterEngine() {
#ifdef _WIN32
    RunProcess(ServerPath(), "/UnregServer");
#else
    server::UnregisterServer();
#endif
}

void Configure() {
#ifdef _WIN32
    RunProcess(ServerPath(), "/Configure");
#else
    server::Configure();
#endif
}

// The install folder as the registry holds it: Windows form in both builds.
std::string WindowsForm(const fs::path& path) {
    std::string text = path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

class HostCommandsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
#ifndef _WIN32
        store_ = fs::temp_directory_path() / ("qn-host-" + std::to_string(::getpid()) + ".reg");
        setenv(kRegistryFileVariable, store_.c_str(), 1);
        HKEY software = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &software, nullptr);
        RegCloseKey(software);
#endif
        RegisterEngine();
    }

    static void TearDownTestSuite() {
        UnregisterEngine();
        Registry(HKEY_LOCAL_MACHINE, server::kServerKeyPath).DeleteValue("DravikHybridInstallLoc");
#ifndef _WIN32
        fs::remove(store_);
#endif
    }

    void SetUp() override {
        scratch_ = fs::temp_directory_path() /
                   ("qn-host-test-" + std::to_string(counter_++) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(scratch_);
    }

    void TearDown() override {
        backend_.reset();
        std::error_code ignored;
        fs::remove_all(scratch_, ignored);
    }

    test_backend::TestBackend& StartBackend(test_backend::Fault fault = test_backend::Fault::None) {
        backend_.reset();  // the port is free again before the next one binds it
        backend_ = std::make_unique<test_backend::TestBackend>(11000, fault);
        return *backend_;
    }

    std::string WriteInput(const std::string& name, const std::string& bytes) {
        const fs::path path = scratch_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    std::vector<std::string> RequestBodies() const {
        std::vector<std::string> bodies;
        for (const auto& request : backend_->Requests()) {
            bodies.push_back(request.body);
        }
        return bodies;
    }

    fs::path scratch_;
    std::unique_ptr<test_backend::TestBackend> backend_;
    static inline int counter_ = 0;
#ifndef _WIN32
    static inline fs::path store_;
#endif
};

TEST_F(HostCommandsTest, EachChunkModeSendsItsChunksAndKeepsTheLayout) {
    struct Case {
        const char* mode;
        std::vector<std::string> bodies;
    };
    const Case cases[] = {
        {"line", {"Hallo Welt", "Haus", "Buch und Haus"}},
        {"paragraph", {"Hallo Welt\nHaus", "Buch und Haus"}},
        {"whole", {"Hallo Welt\nHaus\n\n  \nBuch und Haus"}},
    };
    const std::string file = WriteInput("de.txt", kGermanText);
    for (const Case& c : cases) {
        StartBackend();
        const HostRun run =
            Host({"translate", "--from", "de", "--to", "en", file, "--chunk", c.mode});
        EXPECT_EQ(run.code, kExitOk) << c.mode << ": " << run.err;
        EXPECT_EQ(run.out, "hello world\nhouse\n\n  \nbook and house\n") << c.mode;
        EXPECT_EQ(RequestBodies(), c.bodies) << c.mode;
    }
}

TEST_F(HostCommandsTest, TranslationsArePrintedDecodedOrAsMarkup) {
    auto& backend = StartBackend();
    // Unknown words lose the back end's marks; escaped characters come back whole.
    const std::string input = "\xEF\xBB\xBFHallo Quatsch\n\nBuch\n";
    HostRun run = Host({"translate", "--from", "de", "--to", "en"}, input);
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(run.out, "hello Quatsch\n\nbook\n");
    EXPECT_EQ(run.err.find("chunk"), std::string::npos) << run.err;

    backend.SetCannedAnswer("Tom & Jerry <3 \xC3\xBC");
    run = Host({"translate", "--from", "de", "--to", "en", "-", "--chunk", "whole"}, "x");
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(run.out, "Tom & Jerry <3 \xC3\xBC");

    run = Host({"translate", "--from", "de", "--to", "en", "--markup"}, "x\n\ny\n");
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(run.out,
              "<Translation>Tom &amp; Jerry &lt;3 \xC3\xBC</Translation>\n"
              "<Translation>Tom &amp; Jerry &lt;3 \xC3\xBC</Translation>\n");
}

TEST_F(HostCommandsTest, AnUnsupportedPairReportsEveryChunkByNumber) {
    StartBackend();
    const HostRun run =
        Host({"translate", "--from", "en", "--to", "de", "--chunk", "line"}, "one\ntwo & three\n");
    EXPECT_EQ(run.code, kExitChunkErrors);
    EXPECT_EQ(run.out, "one\ntwo & three\n");  // the engine hands back the source
    EXPECT_NE(run.err.find("chunk 1: Unsupported language pair for hybrid engine\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("chunk 2: Unsupported language pair for hybrid engine\n"),
              std::string::npos);
    EXPECT_NE(run.err.find("2 of 2 chunks carried an error"), std::string::npos);
    EXPECT_EQ(backend_->RequestCount(), 0u);
}

TEST_F(HostCommandsTest, BackEndDownIsToldApartFromAnEmptyTranslation) {
    // Nobody listens: found before the job starts.
    HostRun run = Host({"translate", "--from", "it", "--to", "en"}, "ciao\n");
    EXPECT_EQ(run.code, kExitBackendDown);
    EXPECT_NE(run.err.find("back end down: nothing listens on localhost:11000"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.out, "");

    // Something answers, but with nothing.
    StartBackend().SetCannedAnswer("");
    run = Host({"translate", "--from", "it", "--to", "en", "--chunk", "line"}, "ciao\nmondo\n");
    EXPECT_EQ(run.code, kExitChunkErrors);
    EXPECT_NE(run.err.find("chunk 1: the back end returned no text"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("chunk 2: the back end returned no text"), std::string::npos);

    // An error page is the back end's complaint, not a translation.
    StartBackend(test_backend::Fault::TooLarge);
    run = Host({"translate", "--from", "it", "--to", "en"}, "ciao\n");
    EXPECT_EQ(run.code, kExitChunkErrors);
    EXPECT_EQ(run.out, "ciao\n");
    EXPECT_NE(run.err.find("chunk 1: The translation back end at localhost:11000 answered 413 "
                           "Payload Too Large.\n"),
              std::string::npos)
        << run.err;
}

TEST_F(HostCommandsTest, AJobThatCannotWriteItsOutputFails) {
    StartBackend();
    const HostRun run =
        Host({"translate", "--from", "de", "--to", "en", "--chunk", "line"}, "Haus\nBuch\n", true);
    EXPECT_EQ(run.code, kExitJobFailed);
    EXPECT_NE(run.err.find("the job failed after 1 of 2 chunks: the translation could not be "
                           "written"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(backend_->RequestCount(), 1u);  // the failing write ended the job
}

TEST_F(HostCommandsTest, UnreadableInputIsRefusedBeforeTheEngineIsAsked) {
    StartBackend();
    HostRun run =
        Host({"translate", "--from", "de", "--to", "en", (scratch_ / "missing.txt").string()});
    EXPECT_EQ(run.code, kExitUnreadableInput);
    EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;

    run = Host({"translate", "--from", "de", "--to", "en", scratch_.string()});
    EXPECT_EQ(run.code, kExitUnreadableInput) << run.err;

    const std::string latin1 = WriteInput("latin1.txt",
                                          "Gr\xFC\xDF"
                                          "e\n");
    run = Host({"translate", "--from", "de", "--to", "en", latin1});
    EXPECT_EQ(run.code, kExitUnreadableInput);
    EXPECT_NE(run.err.find("is not UTF-8 text (byte 2)"), std::string::npos) << run.err;

    // The engine would stop at a NUL: at a line's start it ends the job, inside
    // a line it drops the rest of the line.
    run = Host({"translate", "--from", "de", "--to", "en"}, std::string("Haus\n\0Buch\n", 11));
    EXPECT_EQ(run.code, kExitUnreadableInput);
    EXPECT_NE(run.err.find("standard input holds a NUL character (byte 5)"), std::string::npos)
        << run.err;
    const std::string utf16 = WriteInput("utf16.txt", std::string("H\0a\0u\0s\0", 8));
    run = Host({"translate", "--from", "de", "--to", "en", utf16});
    EXPECT_EQ(run.code, kExitUnreadableInput);
    EXPECT_NE(run.err.find("holds a NUL character (byte 1); it looks like UTF-16"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(backend_->RequestCount(), 0u);
}

TEST_F(HostCommandsTest, MissingRegistrationAndFailedActivationHaveTheirOwnCodes) {
    StartBackend();
    // A direction nobody registered.
    HostRun run = Host({"translate", "--from", "de", "--to", "it"}, "Haus\n");
    EXPECT_EQ(run.code, kExitNotRegistered);
    EXPECT_NE(run.err.find("no registered engine translates de to it"), std::string::npos)
        << run.err;

    // A ProgID that is not registered at all.
    run = Host({"translate", "--from", "de", "--to", "en", "--progid", "QNHostTest.Nothing.1"},
               "Haus\n");
    EXPECT_EQ(run.code, kExitNotRegistered);
    EXPECT_NE(run.err.find("ProgID \"QNHostTest.Nothing.1\" is unknown"), std::string::npos)
        << run.err;

    // A ProgID whose class nobody serves.
    constexpr char kOrphanClsid[] = "{6A1F3C52-0B7E-4D3A-9C1E-2F4B5D6E7A80}";
    HKEY orphan = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "QNHostTest.Orphan.1\\CLSID", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &orphan, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(orphan, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kOrphanClsid),
                   sizeof kOrphanClsid);
    RegCloseKey(orphan);
    run = Host({"features", "--progid", "QNHostTest.Orphan.1"});
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "QNHostTest.Orphan.1\\CLSID");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "QNHostTest.Orphan.1");
    EXPECT_EQ(run.code, kExitActivationFailed);
    EXPECT_NE(run.err.find("the engine could not be created"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(kOrphanClsid), std::string::npos);

    // No engine entries at all.
    UnregisterEngine();
    run = Host({"engines"});
    const HostRun translate = Host({"translate", "--from", "de", "--to", "en"}, "Haus\n");
    RegisterEngine();
    EXPECT_EQ(run.code, kExitNotRegistered);
    EXPECT_NE(run.err.find("no translation engines are registered"), std::string::npos);
    EXPECT_EQ(translate.code, kExitNotRegistered);
}

TEST_F(HostCommandsTest, EnginesShowsSuppressWhereConfigureWroteIt) {
    fs::create_directories(scratch_ / "DravikHMT" / "Models" / "de-en");
    Registry serverKey(HKEY_LOCAL_MACHINE, server::kServerKeyPath);
    serverKey.WriteString("DravikHybridInstallLoc", WindowsForm(scratch_));
    Configure();

    HostRun run = Host({"engines"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(Count(run.out, "QNDravikHybridTranslationEngine.TranslationEngine.1"), 12u);
    const auto row = [&run](const std::string& name) {
        const std::size_t at = run.out.find(name);
        return at == std::string::npos ? std::string()
                                       : run.out.substr(at, run.out.find('\n', at) - at);
    };
    EXPECT_EQ(row("Vorla De to En Hybrid Engine 1.0").substr(row("Vorla De").size() - 3), " no");
    EXPECT_EQ(row("Vorla En to De Hybrid Engine 1.0").substr(row("Vorla En to De").size() - 4),
              " yes");
    EXPECT_NE(run.out.find("de -> en"), std::string::npos);

    // An entry Configure has not seen yet shows no Suppress value.
    SubKey(Registry(HKEY_LOCAL_MACHINE, server::kEnginesKeyPath),
           "Vorla It to En Hybrid Engine 1.0")
        .DeleteValue("Suppress");
    run = Host({"engines"});
    EXPECT_EQ(row("Vorla It to En Hybrid Engine 1.0").substr(row("Vorla It").size() - 2), " -");

    // A suppressed direction still translates, with a note.
    StartBackend();
    run = Host({"translate", "--from", "en", "--to", "ar"}, "hello\n");
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_NE(run.err.find("\"Vorla En to Ar Hybrid Engine 1.0\" is marked Suppress"),
              std::string::npos)
        << run.err;
    serverKey.DeleteValue("DravikHybridInstallLoc");
}

TEST_F(HostCommandsTest, FeaturesAreDecodedInTheAskedLanguageOrShownRaw) {
    HostRun run = Host({"features", "--ui", "de"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_NE(run.out.find("Vendor code:                Dravik"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Feature list Input \"Eingabe\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("(interface language de)"), std::string::npos);

    run = Host({"features"});
    EXPECT_NE(run.out.find("\"Recognize email prefix quoting (e.g. '>>>')\""), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  MaximumUserDictionaries:  0"), std::string::npos);

    run = Host({"features", "--raw", "--ui", "it"});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_EQ(run.out.rfind("<Features>&lt;VendorCode&gt;Dravik&lt;/VendorCode&gt;\n", 0), 0u)
        << run.out;
}

TEST_F(HostCommandsTest, CheckReportsBackEndPipelinesAndModelFolders) {
    fs::create_directories(scratch_ / "DravikHMT" / "Models" / "it-en");
    Registry serverKey(HKEY_LOCAL_MACHINE, server::kServerKeyPath);
    serverKey.WriteString("DravikHybridInstallLoc", WindowsForm(scratch_));

    HostRun run = Host({"check"});
    EXPECT_EQ(run.code, kExitBackendDown);
    EXPECT_NE(run.out.find("Back end at localhost:11000: NOT listening"), std::string::npos);
    EXPECT_NE(run.out.find("it-en  present"), std::string::npos) << run.out;
    EXPECT_NE(
        run.out.find("de-en  MISSING  " + WindowsForm(scratch_) + "\\DravikHMT\\Models\\de-en"),
        std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("11 of 12 missing"), std::string::npos);

    StartBackend();
    run = Host({"check"});
    EXPECT_EQ(run.code, kExitOk) << run.out << run.err;
    EXPECT_EQ(Count(run.out, "answers"), 6u) << run.out;
    EXPECT_NE(run.out.find("de -> en  answers \"hallo\" with \"hello\""), std::string::npos);
    EXPECT_EQ(backend_->RequestCount(), 7u);  // the probes and one GET /status

    StartBackend(test_backend::Fault::ErrorStatus);
    run = Host({"check"});
    EXPECT_EQ(run.code, kExitChunkErrors);
    EXPECT_EQ(Count(run.out, "HTTP 500"), 6u) << run.out;
    serverKey.DeleteValue("DravikHybridInstallLoc");
}

// A qn-bridge as the back end: check names the upstream behind each direction
// it routes and does not count the others as faults.
TEST_F(HostCommandsTest, CheckNamesTheUpstreamBehindABridge) {
    bridge_test::StandInServer libre(bridge_test::LibreTranslateStandIn({}));
    bridge_test::StandInServer gone(bridge_test::LibreTranslateStandIn({}));
    gone.Stop();  // refuses: de-en fails over to the next upstream
    std::vector<bridge::UpstreamSettings> upstreams(2);
    upstreams[0].name = "gone";
    upstreams[0].url = gone.Url();
    upstreams[1].name = "libre";
    upstreams[1].url = libre.Url();
    const std::map<std::string, std::vector<bridge::RouteStep>> routes = {
        {"de-en", {{"gone", "de", "en"}, {"libre", "de", "en"}}},
        {"it-en", {{"libre", "it", "en"}}}};
    const std::unique_ptr<bridge::Translator> translator =
        bridge::MakeTranslator(upstreams, routes);
    bridge::TranslationCache cache(1u << 20);
    std::ostringstream logText;
    bridge::RequestLog log(logText, false);
    bridge::BridgeService service(*translator, cache, log, routes, "9.9");
    bridge::HttpServer server({"127.0.0.1"}, 11000, bridge::ServerLimits{}, service);

    const std::string via = "LibreTranslate at 127.0.0.1:";
    HostRun run = Host({"check"});
    EXPECT_EQ(run.code, kExitOk) << run.out << run.err;
    EXPECT_NE(run.out.find("qn-bridge 9.9 answers GET /status; it serves de-en, it-en"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("de -> en  answers \"hallo\" with \"en:hallo\" (qn-bridge: via " + via +
                           std::to_string(libre.Port()) + " after " + via +
                           std::to_string(gone.Port()) + " failed)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("it -> en  answers \"ciao\" with \"en:ciao\" (qn-bridge: via " + via),
              std::string::npos);
    EXPECT_EQ(Count(run.out, "not served: the bridge's configuration has no route"), 4u);

    run = Host({"check"});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_EQ(Count(run.out, "(qn-bridge: from its cache)"), 2u) << run.out;
    server.Stop(std::chrono::seconds(5));
}

}  // namespace
}  // namespace host
