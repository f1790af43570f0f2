#include "config/config_prefs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <optional>

#include "platform/module.h"
#include "tests/config/registry_scratch.h"

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ConfigurationKeyPathTest, NamesTheVendorsConfigurationKey) {
    EXPECT_EQ(ConfigurationKeyPath("Vorla Hybrid Engine"),
              "Software\\Quillon\\Configuration\\Vorla Hybrid Engine");
    EXPECT_EQ(ConfigurationKeyPath(""), "Software\\Quillon\\Configuration");
}

TEST(PerUserKeyPathTest, ReplacesEveryOccurrenceOfTheVendorWord) {
    const std::pair<const char*, const char*> cases[] = {
        {"Software\\Quillon\\Configuration\\Engine", "Software\\Vorla\\Configuration\\Engine"},
        {"Software\\Quillon\\Configuration\\My Quillon Engine",
         "Software\\Vorla\\Configuration\\My Vorla Engine"},
        {"QuillonQuillon", "VorlaVorla"},
        {"Software\\quillon\\QUILLON", "Software\\quillon\\QUILLON"},  // case matters
        {"Software\\Quillo\\n", "Software\\Quillo\\n"},
        {"", ""},
    };
    for (const auto& [machine, user] : cases) {
        EXPECT_EQ(PerUserKeyPath(machine), user) << machine;
    }
}

TEST(BaseNameFromModulePathTest, DropsFoldersAndTheLastExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Program Files\\Vorla\\Vorla Hybrid Engine.exe", "Vorla Hybrid Engine"},
        {"C:\\bin\\My.Engine.exe", "My.Engine"},
        {"C:\\bin\\Engine", "Engine"},
        {"C:\\bin.d\\Engine", "Engine"},
        {"C:\\bin\\.exe", ""},
        {"Engine.exe", "Engine"},
        {"C:\\bin\\", ""},
        {"", ""},
    };
    for (const auto& [path, name] : cases) {
        EXPECT_EQ(BaseNameFromModulePath(path), name) << path;
    }
}

TEST(ModuleBaseNameTest, IsTheNameOfThisTestProgram) {
    EXPECT_EQ(ModuleBaseName(), "test_config");
}

TEST(EngineConfigTest, IsKeyedByTheProgramsName) {
    EngineConfig config;
    EXPECT_EQ(config.MachineKey().Root(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(config.MachineKey().Path(), "Software\\Quillon\\Configuration\\test_config");
    EXPECT_EQ(config.UserKey().Root(), HKEY_CURRENT_USER);
    EXPECT_EQ(config.UserKey().Path(), "Software\\Vorla\\Configuration\\test_config");
}

TEST(ConfigPrefsKeysTest, PerUserKeyTakesTheReplacedVendorWord) {
    ConfigPrefs prefs(ConfigurationKeyPath("My Quillon Engine"));
    EXPECT_EQ(prefs.MachineKey().Path(), "Software\\Quillon\\Configuration\\My Quillon Engine");
    EXPECT_EQ(prefs.UserKey().Path(), "Software\\Vorla\\Configuration\\My Vorla Engine");
    ConfigPrefs unnamed(ConfigurationKeyPath(""));
    EXPECT_EQ(unnamed.MachineKey().Path(), "Software\\Quillon\\Configuration");
    EXPECT_EQ(unnamed.UserKey().Path(), "Software\\Vorla\\Configuration");
}

#ifndef _WIN32
// Restores the real program name however the test ends.
struct ModuleNameOverride {
    explicit ModuleNameOverride(const char* path) { SetModuleFileNameForTesting(path); }
    ~ModuleNameOverride() { SetModuleFileNameForTesting(nullptr); }
};

TEST(ModuleBaseNameTest, TakesTheWholeNameOfAPathLongerThanMaxPath) {
    const std::string folder = "C:\\" + std::string(300, 'd') + "\\";
    const ModuleNameOverride name((folder + "Vorla Hybrid Engine.exe").c_str());
    EXPECT_EQ(ModuleBaseName(), "Vorla Hybrid Engine");
}

TEST(ModuleBaseNameTest, ProgramNamedOnlyByItsExtensionGivesAnEmptyName) {
    const ModuleNameOverride name("C:\\bin\\.exe");
    EXPECT_EQ(ModuleBaseName(), "");
}
#endif

// Preferences of a configuration named after the running test, cleaned up in
// both hives afterwards.
class ConfigPrefsTest : public ::testing::Test {
  protected:
    ConfigPrefsTest()
        : name("QnTests." + scratch.Unique()),
          machinePath(ConfigurationKeyPath(name)),
          userPath(PerUserKeyPath(machinePath)),
          hadMachineVendorKey(ScratchRegistry::KeyExists(HKEY_LOCAL_MACHINE, "Software\\Quillon")),
          hadUserVendorKey(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, "Software\\Vorla")) {}

    ~ConfigPrefsTest() override {
        for (const std::string& suffix : {std::string(), std::string("\\")}) {
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, (machinePath + suffix).c_str());
            SHDeleteKeyA(HKEY_CURRENT_USER, (userPath + suffix).c_str());
        }
        ScratchRegistry::DeleteIfEmpty(HKEY_LOCAL_MACHINE, ConfigurationKeyPath(""));
        ScratchRegistry::DeleteIfEmpty(HKEY_CURRENT_USER, PerUserKeyPath(ConfigurationKeyPath("")));
        // The vendor keys are shared with the program's registration: only
        // one this test brought into being goes.
        if (!hadMachineVendorKey) {
            ScratchRegistry::DeleteIfEmpty(HKEY_LOCAL_MACHINE, "Software\\Quillon");
        }
        if (!hadUserVendorKey) {
            ScratchRegistry::DeleteIfEmpty(HKEY_CURRENT_USER, "Software\\Vorla");
        }
    }

    ScratchRegistry scratch;
    const std::string name;
    const std::string machinePath;
    const std::string userPath;
    const bool hadMachineVendorKey;
    const bool hadUserVendorKey;
};

TEST_F(ConfigPrefsTest, EachReadTakesThePerUserValueElseThePerMachineOne) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, userPath, "Both", "user");
    ScratchRegistry::SetString(HKEY_LOCAL_MACHINE, machinePath, "Both", "machine");
    ScratchRegistry::SetString(HKEY_LOCAL_MACHINE, machinePath, "MachineOnly", "machine");
    ScratchRegistry::SetDword(HKEY_LOCAL_MACHINE, machinePath, "Number", 42);
    ScratchRegistry::SetRaw(HKEY_LOCAL_MACHINE, machinePath, "Blob", REG_BINARY, {1, 2});

    ConfigPrefs prefs(machinePath);
    EXPECT_EQ(prefs.GetString("Both", "none"), "user");
    EXPECT_EQ(prefs.GetString("MachineOnly", "none"), "machine");
    EXPECT_EQ(prefs.GetString("Neither", "none"), "none");
    DWORD number = 0;
    EXPECT_TRUE(prefs.ReadDword("Number", number));
    EXPECT_EQ(number, 42u);
    DWORD size = 0;
    std::unique_ptr<BYTE[]> bytes;
    ASSERT_TRUE(prefs.ReadBytes("Blob", size, bytes));
    EXPECT_EQ(size, 2u);
}

// A preference as the per-user and per-machine keys hold it.
struct Scoped {
    enum Kind { None, Dword, Text };
    Kind kind = None;
    DWORD number = 0;
    const char* text = "";
};
struct BoolScopeCase {
    const char* label;
    Scoped user;
    Scoped machine;
    bool expected;  // GetBool with default true
};

void Store(HKEY root, const std::string& path, const Scoped& value) {
    if (value.kind == Scoped::Dword) {
        ScratchRegistry::SetDword(root, path, "Flag", value.number);
    } else if (value.kind == Scoped::Text) {
        ScratchRegistry::SetString(root, path, "Flag", value.text);
    }
}

class ConfigPrefsBoolScope : public ConfigPrefsTest,
                             public ::testing::WithParamInterface<BoolScopeCase> {};

TEST_P(ConfigPrefsBoolScope, PerUserDwordWinsAndOtherTypesAreIgnored) {
    Store(HKEY_CURRENT_USER, userPath, GetParam().user);
    Store(HKEY_LOCAL_MACHINE, machinePath, GetParam().machine);
    ConfigPrefs prefs(machinePath);
    EXPECT_EQ(prefs.GetBool("Flag", true), GetParam().expected);
}

constexpr Scoped kNone{};
constexpr Scoped kZero{Scoped::Dword, 0, ""};
constexpr Scoped kOne{Scoped::Dword, 1, ""};
constexpr Scoped kTextZero{Scoped::Text, 0, "0"};

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigPrefsBoolScope,
    ::testing::Values(BoolScopeCase{"NothingAnywhere", kNone, kNone, true},
                      BoolScopeCase{"UserZeroOverMachineOne", kZero, kOne, false},
                      BoolScopeCase{"UserOneOverMachineZero", kOne, kZero, true},
                      BoolScopeCase{"MachineZeroAlone", kNone, kZero, false},
                      BoolScopeCase{"UserTextZeroIgnored", kTextZero, kNone, true},
                      BoolScopeCase{"UserTextZeroFallsToMachine", kTextZero, kZero, false},
                      BoolScopeCase{"MachineTextZeroIgnored", kNone, kTextZero, true}),
    [](const ::testing::TestParamInfo<BoolScopeCase>& info) { return info.param.label; });

TEST_F(ConfigPrefsTest, WritesGoToThePerUserKeyOnly) {
    ConfigPrefs prefs(machinePath);
    prefs.WriteString("Text", "t");
    prefs.WriteString("String", std::string("s"));
    prefs.WriteDword("Number", 7);
    prefs.WriteBool("Flag", false);
    const BYTE blob[] = {1};
    prefs.WriteBytes("Blob", 1, blob);

    EXPECT_EQ(Sorted(Registry(HKEY_CURRENT_USER, userPath).ValueNames()),
              (std::vector<std::string>{"Blob", "Flag", "Number", "String", "Text"}));
    EXPECT_FALSE(ScratchRegistry::KeyExists(HKEY_LOCAL_MACHINE, machinePath));
    EXPECT_FALSE(prefs.GetBool("Flag", true));
}

TEST_F(ConfigPrefsTest, ListingsComeFromThePerUserKeyUnlessItHasNone) {
    ScratchRegistry::SetString(HKEY_LOCAL_MACHINE, machinePath, "MachineValue", "m");
    ScratchRegistry::SetString(HKEY_LOCAL_MACHINE, machinePath + "\\MachineChild", "V", "m");
    ConfigPrefs prefs(machinePath);
    EXPECT_EQ(prefs.ValueNames(), std::vector<std::string>{"MachineValue"});
    EXPECT_EQ(prefs.ValueNamesWithPrefix("machine"), std::vector<std::string>{"MachineValue"});
    EXPECT_EQ(prefs.SubKeyNames(), std::vector<std::string>{"MachineChild"});

    ScratchRegistry::SetString(HKEY_CURRENT_USER, userPath, "UserValue", "u");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, userPath + "\\UserChild", "V", "u");
    ConfigPrefs later(machinePath);
    EXPECT_EQ(later.ValueNames(), std::vector<std::string>{"UserValue"});
    EXPECT_EQ(later.SubKeyNames(), std::vector<std::string>{"UserChild"});
    // Per prefix: nothing matching per user falls back to the machine's.
    EXPECT_EQ(later.ValueNamesWithPrefix("Machine"), std::vector<std::string>{"MachineValue"});
    EXPECT_EQ(later.ValueNamesWithPrefix("User"), std::vector<std::string>{"UserValue"});
}

TEST_F(ConfigPrefsTest, DeletesTouchBothScopes) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, userPath, "Both", "u");
    ScratchRegistry::SetString(HKEY_LOCAL_MACHINE, machinePath, "Both", "m");
    ScratchRegistry::SetString(HKEY_LOCAL_MACHINE, machinePath, "MachineOnly", "m");
    ScratchRegistry::SetString(HKEY_LOCAL_MACHINE, machinePath + "\\Child\\Deeper", "V", "m");

    ConfigPrefs prefs(machinePath);
    EXPECT_TRUE(prefs.DeleteValue("Both"));
    EXPECT_FALSE(ScratchRegistry::ValueExists(HKEY_CURRENT_USER, userPath, "Both"));
    EXPECT_FALSE(ScratchRegistry::ValueExists(HKEY_LOCAL_MACHINE, machinePath, "Both"));
    EXPECT_TRUE(prefs.DeleteValue("MachineOnly"));
    EXPECT_FALSE(prefs.DeleteValue("MachineOnly"));
    EXPECT_TRUE(prefs.DeleteKey("Child"));
    EXPECT_FALSE(ScratchRegistry::KeyExists(HKEY_LOCAL_MACHINE, machinePath + "\\Child"));
    EXPECT_FALSE(prefs.DeleteKey("Child"));
}

TEST_F(ConfigPrefsTest, PerUserFailuresReachTheCallerPerMachineOnesDoNot) {
    // A trailing backslash makes both keys impossible to open for writing.
    ConfigPrefs prefs(machinePath + "\\");
    EXPECT_THROW(prefs.DeleteValue("V"), RegistryKeyMissing);
    EXPECT_THROW(prefs.DeleteKey("K"), RegistryKeyMissing);
    EXPECT_THROW(prefs.WriteDword("V", 1), RegistryKeyMissing);
}

#ifndef _WIN32
TEST_F(ConfigPrefsTest, DeleteWithoutMachineRightsStillDeletesThePerUserValue) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, userPath, "V", "u");
    ScratchRegistry::SetString(HKEY_LOCAL_MACHINE, machinePath, "V", "m");
    setenv(kRegistryDenyMachineWritesVariable, "1", 1);
    ConfigPrefs prefs(machinePath);
    EXPECT_TRUE(prefs.DeleteValue("V"));
    EXPECT_FALSE(ScratchRegistry::ValueExists(HKEY_CURRENT_USER, userPath, "V"));
    EXPECT_TRUE(ScratchRegistry::ValueExists(HKEY_LOCAL_MACHINE, machinePath, "V"));
    EXPECT_EQ(prefs.GetString("V", ""), "m");
}
#endif

// The technical-dictionary flags over a scratch server key and a scratch
// configuration; counts how often the engine's preference is read.
class TechnicalDictionaryTest : public ConfigPrefsTest {
  protected:
    TechnicalDictionaryTest() : serverPath(scratch.MachinePath() + "\\Server") {
        scratch.Cleanup(HKEY_LOCAL_MACHINE, scratch.MachinePath());
    }

    TechnicalDictionarySupport Support() {
        return TechnicalDictionarySupport(serverPath, [this] {
            ++engineReads;
            if (failNextEngineRead) {
                failNextEngineRead = false;
                throw std::bad_alloc();
            }
            ConfigPrefs prefs(machinePath);
            return prefs.GetBool(kSupportsTechnicalDictionariesValue, true);
        });
    }
    void SetServerFlag(DWORD value) {
        ScratchRegistry::SetDword(HKEY_LOCAL_MACHINE, serverPath,
                                  kSupportsTechnicalDictionariesValue, value);
    }
    void SetEngineFlag(HKEY root, DWORD value) {
        ScratchRegistry::SetDword(root, root == HKEY_CURRENT_USER ? userPath : machinePath,
                                  kSupportsTechnicalDictionariesValue, value);
    }

    const std::string serverPath;
    int engineReads = 0;
    bool failNextEngineRead = false;
};

TEST_F(TechnicalDictionaryTest, ServerFlagAbsentMeansOffWithoutAskingTheEngine) {
    SetEngineFlag(HKEY_CURRENT_USER, 1);
    auto support = Support();
    EXPECT_FALSE(support.ServerSupports());
    EXPECT_FALSE(support.Supports());
    EXPECT_EQ(engineReads, 0);
}

TEST_F(TechnicalDictionaryTest, ServerFlagNotADwordMeansOff) {
    ScratchRegistry::SetString(HKEY_LOCAL_MACHINE, serverPath, kSupportsTechnicalDictionariesValue,
                               "1");
    EXPECT_FALSE(Support().Supports());
}

TEST_F(TechnicalDictionaryTest, ServerFlagOnAndNoEngineValueMeansOn) {
    SetServerFlag(1);
    auto support = Support();
    EXPECT_TRUE(support.ServerSupports());
    EXPECT_TRUE(support.Supports());
    EXPECT_EQ(engineReads, 1);
}

TEST_F(TechnicalDictionaryTest, AnyNonZeroServerFlagCounts) {
    SetServerFlag(5);
    EXPECT_TRUE(Support().Supports());
}

TEST_F(TechnicalDictionaryTest, PerUserZeroSwitchesItOffOverPerMachineOne) {
    SetServerFlag(1);
    SetEngineFlag(HKEY_CURRENT_USER, 0);
    SetEngineFlag(HKEY_LOCAL_MACHINE, 1);
    EXPECT_FALSE(Support().Supports());
}

TEST_F(TechnicalDictionaryTest, PerMachineZeroSwitchesItOffWhenNoPerUserValue) {
    SetServerFlag(1);
    SetEngineFlag(HKEY_LOCAL_MACHINE, 0);
    EXPECT_FALSE(Support().Supports());
}

TEST_F(TechnicalDictionaryTest, AnswersStayFixedAfterTheFirstRead) {
    SetServerFlag(1);
    auto support = Support();
    EXPECT_TRUE(support.Supports());
    SetServerFlag(0);
    SetEngineFlag(HKEY_CURRENT_USER, 0);
    EXPECT_TRUE(support.ServerSupports());
    EXPECT_TRUE(support.Supports());
    EXPECT_EQ(engineReads, 1);
}

TEST_F(TechnicalDictionaryTest, AbandonedReadIsDoneAgainOnTheNextCall) {
    SetServerFlag(1);
    auto support = Support();
    failNextEngineRead = true;
    EXPECT_THROW(support.Supports(), std::bad_alloc);
    SetEngineFlag(HKEY_CURRENT_USER, 0);
    EXPECT_FALSE(support.Supports());
    EXPECT_FALSE(support.Supports());
    EXPECT_EQ(engineReads, 2);
}

#ifndef _WIN32
// The process's own answers come from the server key and this program's
// EngineConfig. Natively the store is this test's alone, so the real keys can
// be written.
TEST(ProcessTechnicalDictionaryTest, ReadsTheServerKeyAndThisProgramsPreference) {
    ScratchRegistry scratch;
    ScratchRegistry::SetDword(HKEY_LOCAL_MACHINE, kTranslationServerKeyPath,
                              kSupportsTechnicalDictionariesValue, 1);
    ScratchRegistry::SetDword(HKEY_CURRENT_USER, "Software\\Vorla\\Configuration\\test_config",
                              kSupportsTechnicalDictionariesValue, 0);
    EXPECT_TRUE(ServerSupportsTechnicalDictionaries());
    EXPECT_FALSE(SupportsTechnicalDictionaries());
    EXPECT_FALSE(ReadEngineTechnicalDictionaryPreference());
    ScratchRegistry::SetDword(HKEY_LOCAL_MACHINE, kTranslationServerKeyPath,
                              kSupportsTechnicalDictionariesValue, 0);
    EXPECT_TRUE(ServerSupportsTechnicalDictionaries());
}
#endif

}  // namespace
