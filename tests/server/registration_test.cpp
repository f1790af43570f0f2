// Registration, unregistration and Configure, run through the real server
// executable: under Wine against Wine's registry, natively against a scratch
// registry store.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "config/registry.h"
#include "jobs/host_interfaces.h"
#include "platform/com_ptr.h"
#include "platform/com_server.h"
#include "platform/registry.h"
#include "server/guids.h"
#include "server/registry_paths.h"
#include "tests/server/server_process.h"

namespace {

namespace fs = std::filesystem;

const std::string kClassKey = "CLSID\\" + GuidToRegistryString(kClsidTranslationEngine);
const std::string kAppIdKey = "AppID\\" + GuidToRegistryString(kAppIdTranslationEngine);
constexpr char kProgId[] = "QNDravikHybridTranslationEngine.TranslationEngine.1";
constexpr char kVersionIndependentProgId[] = "QNDravikHybridTranslationEngine.TranslationEngine";

struct EngineEntry {
    const char* name;
    const char* source;
    const char* target;
};

constexpr EngineEntry kEngines[] = {
    {"Vorla Ar to En Hybrid Engine 1.0", "ar", "en"},
    {"Vorla En to Ar Hybrid Engine 1.0", "en", "ar"},
    {"Vorla Fa to En Hybrid Engine 1.0", "fa", "en"},
    {"Vorla En to Fa Hybrid Engine 1.0", "en", "fa"},
    {"Vorla De to En Hybrid Engine 1.0", "de", "en"},
    {"Vorla En to De Hybrid Engine 1.0", "en", "de"},
    {"Vorla Fr to En Hybrid Engine 1.0", "fr", "en"},
    {"Vorla En to Fr Hybrid Engine 1.0", "en", "fr"},
    {"Vorla It to En Hybrid Engine 1.0", "it", "en"},
    {"Vorla En to It Hybrid Engine 1.0", "en", "it"},
    {"Vorla Ru to En Hybrid Engine 1.0", "ru", "en"},
    {"Vorla En to Ru Hybrid Engine 1.0", "en", "ru"},
};

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::string DefaultValue(HKEY root, const std::string& path) {
    Registry key(root, path);
    return key.GetString("", "<missing>");
}

bool ReadSuppress(const std::string& engine, DWORD& value) {
    Registry key(HKEY_LOCAL_MACHINE, std::string(server::kEnginesKeyPath) + "\\" + engine);
    return key.ReadDword("Suppress", value);
}

class RegistrationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scratch_ = fs::temp_directory_path() /
                   ("qn-registration-" +
                    std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
#ifndef _WIN32
        // A store of our own, so the test never touches the user's.
        setenv(kRegistryFileVariable, (scratch_ / "registry.reg").c_str(), 1);
        unsetenv(kRegistryDenyMachineWritesVariable);
        unsetenv(kRegistryDenyMachineDeletesVariable);
        // The store starts with the keys a Windows machine has.
        for (const char* path : {"Software"}) {
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS,
                                      nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            RegCloseKey(key);
        }
#endif
        // Point the back end's install folder at a scratch folder with no models.
        SetInstallFolder(InstallFolder());
    }

    void TearDown() override {
        Run("/UnregServer");
        Registry server(HKEY_LOCAL_MACHINE, server::kServerKeyPath);
        server.DeleteValue("DravikHybridInstallLoc");
        std::error_code ignored;
        fs::remove_all(scratch_, ignored);
    }

    static ProcessResult Run(const std::string& arguments) {
#ifdef _WIN32
        // The build knows the program by its Linux path; Wine sees / as drive Z:.
        std::string path = std::string("Z:") + QN_SERVER_EXE;
        std::replace(path.begin(), path.end(), '/', '\\');
        return RunProcess(path, arguments);
#else
        return RunProcess(QN_SERVER_EXE, arguments);
#endif
    }

    std::string InstallFolder() const {
        return WindowsPath(scratch_ / "Dravik");
    }

    static std::string WindowsPath(const fs::path& path) {
#ifdef _WIN32
        return path.string();
#else
        return "Z:" + std::string(path.c_str());  // the native file search maps Z: to /
#endif
    }

    void SetInstallFolder(const std::string& folder) {
        Registry server(HKEY_LOCAL_MACHINE, server::kServerKeyPath);
        server.WriteString("DravikHybridInstallLoc", folder);
    }

    void CreateModelFolder(const char* pair) {
        fs::create_directories(scratch_ / "Dravik" / "DravikHMT" / "Models" / pair);
    }

    fs::path scratch_;
};

TEST_F(RegistrationTest, RegisterWritesClassProgIdsAppIdAndEngines) {
    ASSERT_EQ(Run("/RegServer").exitCode, 0);

    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, kClassKey), "Vorla Hybrid Engine Class");
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, kClassKey + "\\ProgID"), kProgId);
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, kClassKey + "\\VersionIndependentProgID"),
              kVersionIndependentProgId);
    const std::string localServer = DefaultValue(HKEY_CLASSES_ROOT, kClassKey + "\\LocalServer32");
    ASSERT_GE(localServer.size(), 2u);
    EXPECT_EQ(localServer.front(), '"');
    EXPECT_EQ(localServer.back(), '"');
    {
        Registry classKey(HKEY_CLASSES_ROOT, kClassKey);
        EXPECT_EQ(classKey.GetString("AppID", ""), GuidToRegistryString(kAppIdTranslationEngine));
        const auto subkeys = classKey.SubKeyNames();
        EXPECT_EQ(std::count(subkeys.begin(), subkeys.end(), "TypeLib"), 0);
        EXPECT_EQ(std::count(subkeys.begin(), subkeys.end(), "Programmable"), 0);
    }
    for (const char* category :
         {"{7DD95801-9882-11CF-9FA9-00AA006C42C4}", "{7DD95802-9882-11CF-9FA9-00AA006C42C4}"}) {
        EXPECT_TRUE(
            KeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Implemented Categories\\" + category))
            << category;
    }
#ifdef _WIN32
    // The type library is described for the server's own kind of Windows,
    // and registered in the view of the server's bitness (this test's).
    const std::string library = "TypeLib\\" + GuidToRegistryString(kLibidDravikEngineLib) +
                                "\\3.1\\0\\" + (sizeof(void*) == 8 ? "win64" : "win32");
    const std::string libraryPath = DefaultValue(HKEY_CLASSES_ROOT, library);
    EXPECT_TRUE(libraryPath.ends_with("\\Vorla Hybrid Engine.exe"))
        << library << ": " << libraryPath;
    // The sink's completion flag is a one-byte unsigned value.
    ITypeLib* rawLibrary = nullptr;
    ASSERT_EQ(LoadRegTypeLib(kLibidDravikEngineLib, 3, 1, 0, &rawLibrary), S_OK);
    ComPtr<ITypeLib> typeLibrary(rawLibrary);
    ITypeInfo* rawInfo = nullptr;
    ASSERT_EQ(typeLibrary->GetTypeInfoOfGuid(kIidITranslationSink, &rawInfo), S_OK);
    ComPtr<ITypeInfo> sink(rawInfo);
    VARTYPE completeFlag = VT_EMPTY;
    for (UINT index = 0;; ++index) {
        FUNCDESC* function = nullptr;
        if (FAILED(sink->GetFuncDesc(index, &function))) {
            break;
        }
        if (function->memid == 2 && function->cParams == 1) {
            completeFlag = function->lprgelemdescParam[0].tdesc.vt;
        }
        sink->ReleaseFuncDesc(function);
    }
    EXPECT_EQ(completeFlag, VT_UI1);
#endif
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, kAppIdKey), "QNDravikHybridTranslationEngine");
    {
        Registry exeKey(HKEY_CLASSES_ROOT, "AppID\\Vorla Hybrid Engine.exe");
        EXPECT_EQ(exeKey.GetString("AppID", ""), GuidToRegistryString(kAppIdTranslationEngine));
    }
    for (const char* progId : {kProgId, kVersionIndependentProgId}) {
        EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, progId), "Vorla Hybrid Engine Class");
        EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, std::string(progId) + "\\CLSID"),
                  GuidToRegistryString(kClsidTranslationEngine));
    }

    Registry engines(HKEY_LOCAL_MACHINE, server::kEnginesKeyPath);
    const std::vector<std::string> names = engines.SubKeyNames();
    std::vector<std::string> expectedNames;
    for (const EngineEntry& entry : kEngines) {
        expectedNames.push_back(entry.name);
    }
#ifndef _WIN32
    EXPECT_EQ(names, expectedNames);  // the native store keeps the order written
#else
    EXPECT_EQ(names.size(), expectedNames.size());
#endif
    for (const EngineEntry& entry : kEngines) {
        SubKey engine(engines, entry.name);
        EXPECT_EQ(engine.GetString("ProgID", ""), kProgId) << entry.name;
        EXPECT_EQ(engine.GetString("SourceLanguage", ""), entry.source) << entry.name;
        EXPECT_EQ(engine.GetString("TranslationLanguage", ""), entry.target) << entry.name;
        EXPECT_EQ(engine.GetString("Version", ""), "2.0.0.0") << entry.name;
        // Registration runs Configure: no model folder exists here.
        DWORD suppress = 7;
        EXPECT_TRUE(engine.ReadDword("Suppress", suppress)) << entry.name;
        EXPECT_EQ(suppress, 1u) << entry.name;
    }
}

TEST_F(RegistrationTest, ReRegisteringReplacesEngineKeysWholesale) {
    ASSERT_EQ(Run("/RegServer").exitCode, 0);
    const std::string engine = std::string(server::kEnginesKeyPath) + "\\" + kEngines[0].name;
    {
        Registry key(HKEY_LOCAL_MACHINE, engine);
        key.WriteString("Leftover", "x");
        Registry classKey(HKEY_CLASSES_ROOT, kClassKey);
        classKey.WriteString("Leftover", "x");
    }
    ASSERT_EQ(Run("-regserver").exitCode, 0);
    Registry key(HKEY_LOCAL_MACHINE, engine);
    EXPECT_EQ(key.GetString("Leftover", "gone"), "gone");
    Registry classKey(HKEY_CLASSES_ROOT, kClassKey);
    EXPECT_EQ(classKey.GetString("Leftover", "gone"), "gone");
    Registry engines(HKEY_LOCAL_MACHINE, server::kEnginesKeyPath);
    EXPECT_EQ(engines.SubKeyNames().size(), std::size(kEngines));
}

TEST_F(RegistrationTest, UnregisterRemovesAllButTheSharedKeysAndCanRunTwice) {
    ASSERT_EQ(Run("/RegServer").exitCode, 0);
    EXPECT_EQ(Run("/UnregServer").exitCode, 0);
    EXPECT_EQ(Run("/UnregServer").exitCode, 0);

    for (const std::string& gone :
         {kClassKey, kAppIdKey, std::string("AppID\\Vorla Hybrid Engine.exe"), std::string(kProgId),
          std::string(kVersionIndependentProgId)}) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, gone)) << gone;
    }
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "AppID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    for (const char* kept :
         {"Software", "Software\\Quillon", server::kServerKeyPath, server::kEnginesKeyPath}) {
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kept)) << kept;
    }
    Registry engines(HKEY_LOCAL_MACHINE, server::kEnginesKeyPath);
    EXPECT_TRUE(engines.SubKeyNames().empty());
}

TEST_F(RegistrationTest, ConfigureMarksPairsWhoseModelFolderIsMissing) {
    ASSERT_EQ(Run("/RegServer").exitCode, 0);
    CreateModelFolder("en-de");
    CreateModelFolder("de-en");
    // Another program's engine is left alone.
    const std::string foreign = std::string(server::kEnginesKeyPath) + "\\Other Engine";
    {
        Registry key(HKEY_LOCAL_MACHINE, foreign);
        key.WriteString("ProgID", "xQNDravikHybridTranslationEngine.TranslationEngine.1");
        key.WriteString("SourceLanguage", "en");
        key.WriteString("TranslationLanguage", "de");
    }

    const ProcessResult result = Run("/Configure");
    EXPECT_EQ(result.exitCode, 0) << result.errorOutput;

    for (const EngineEntry& entry : kEngines) {
        const std::string pair = std::string(entry.source) + "-" + entry.target;
        DWORD suppress = 7;
        ASSERT_TRUE(ReadSuppress(entry.name, suppress)) << entry.name;
        EXPECT_EQ(suppress, pair == "en-de" || pair == "de-en" ? 0u : 1u) << entry.name;
    }
    DWORD suppress = 7;
    EXPECT_FALSE(ReadSuppress("Other Engine", suppress));

    // Removing a model folder flips its pair back on the next run.
    fs::remove_all(scratch_ / "Dravik" / "DravikHMT" / "Models" / "en-de");
    ASSERT_EQ(Run("/Configure").exitCode, 0);
    ASSERT_TRUE(ReadSuppress("Vorla En to De Hybrid Engine 1.0", suppress));
    EXPECT_EQ(suppress, 1u);
    Registry(HKEY_LOCAL_MACHINE, server::kEnginesKeyPath).DeleteKey("Other Engine");
}

TEST_F(RegistrationTest, ConfigureAloneLeavesTheClassRegistrationUntouched) {
    const ProcessResult result = Run("/Configure");
    EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
}

// "/RegServer /foo" starts the server instead; under Wine it publishes its
// class object, no client comes, and it ends by itself once its unused
// lifetime has passed (seconds under the tests' override).
TEST_F(RegistrationTest, SwitchFollowedByAnotherSwitchServesAndAnUnusedServerEnds) {
    const ProcessResult result = Run("/RegServer /foo");
#ifdef _WIN32
    EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
#else
    EXPECT_EQ(result.exitCode, 2) << result.errorOutput;  // natively there is no serving
#endif
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
}

#ifdef _WIN32
// Greek and Chinese together fit no single-byte code page: the paths written
// must come from the wide module name.
TEST_F(RegistrationTest, AServerInAFolderOfAnyNameRegistersItsWholePath) {
    const fs::path folder = scratch_ / fs::path(u8"\u03a9\u03bc\u03ad\u03b3\u03b1 \u4e2d\u6587");
    fs::create_directories(folder);
    const fs::path copy = folder / "Vorla Hybrid Engine.exe";
    std::string original = std::string("Z:") + QN_SERVER_EXE;
    std::replace(original.begin(), original.end(), '/', '\\');
    fs::copy_file(fs::path(original), copy);
    const std::u8string utf8 = copy.u8string();
    const ProcessResult result = RunProcess(std::string(utf8.begin(), utf8.end()), "/RegServer");
    ASSERT_EQ(result.exitCode, 0) << result.errorOutput;

    const auto wideValue = [](const std::string& path) {
        wchar_t value[1024] = {};
        DWORD size = sizeof value;
        const std::wstring key(path.begin(), path.end());
        RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
        return std::wstring(value);
    };
    EXPECT_EQ(wideValue(kClassKey + "\\LocalServer32"), L"\"" + copy.wstring() + L"\"");
    EXPECT_EQ(wideValue("TypeLib\\" + GuidToRegistryString(kLibidDravikEngineLib) + "\\3.1\\0\\" +
                        (sizeof(void*) == 8 ? "win64" : "win32")),
              copy.wstring());
}
#endif

#ifndef _WIN32
// A key the registration may not change as it would, late in the script,
// stops it before anything changes: the earlier registration stays whole.
// Replacing the class key wholesale deletes every key beneath it, a stale one
// the script does not name included.
TEST_F(RegistrationTest, AKeyThatCannotBeChangedLeavesTheEarlierRegistrationWhole) {
    const EngineEntry& last = kEngines[std::size(kEngines) - 1];
    struct Case {
        const char* variable;
        std::string deniedKey;  // below HKEY_LOCAL_MACHINE
        std::string named;      // in the message
    };
    const Case cases[] = {
        {kRegistryDenyMachineWritesVariable,
         std::string(server::kEnginesKeyPath) + "\\" + last.name, last.name},
        {kRegistryDenyMachineDeletesVariable, "Software\\Classes\\" + kClassKey + "\\Stale",
         kClassKey + "\\Stale"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Run("/RegServer").exitCode, 0);
        Registry(HKEY_CLASSES_ROOT, kClassKey).WriteString("Marker", "kept");
        Registry(HKEY_CLASSES_ROOT, kClassKey + "\\Stale").WriteString("Marker", "kept");
        setenv(c.variable, c.deniedKey.c_str(), 1);
        const ProcessResult result = Run("/RegServer");
        unsetenv(c.variable);

        EXPECT_NE(result.exitCode, 0) << c.variable;
        EXPECT_NE(result.errorOutput.find(c.named), std::string::npos) << result.errorOutput;
        EXPECT_EQ(Registry(HKEY_CLASSES_ROOT, kClassKey).GetString("Marker", "replaced"), "kept")
            << c.variable;
        EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, kClassKey + "\\LocalServer32").front(), '"');
        EXPECT_EQ(Registry(HKEY_LOCAL_MACHINE, server::kEnginesKeyPath).SubKeyNames().size(),
                  std::size(kEngines));
        Registry(HKEY_CLASSES_ROOT, kClassKey).DeleteKey("Stale");
    }
}

// Without write rights under HKEY_LOCAL_MACHINE, Configure names the key it
// could not open, ends with a failure code, and loses nothing already written.
TEST_F(RegistrationTest, ConfigureWithoutWriteRightsFailsClearly) {
    ASSERT_EQ(Run("/RegServer").exitCode, 0);
    setenv(kRegistryDenyMachineWritesVariable, "1", 1);
    const ProcessResult result = Run("/Configure");
    unsetenv(kRegistryDenyMachineWritesVariable);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.errorOutput.find(kEngines[0].name), std::string::npos) << result.errorOutput;
    DWORD suppress = 7;
    ASSERT_TRUE(ReadSuppress(kEngines[0].name, suppress));
    EXPECT_EQ(suppress, 1u);
}
#endif

}  // namespace
