#include <gtest/gtest.h>

#include "server/guids.h"
#include "platform/com_server.h"
#include "server/registration.h"
#include "server/registry_script.h"
#include "server/registry_script_text.h"

namespace {

using server::ParseRegistryScript;
using server::RegistryScriptError;
using server::ReplaceScriptVariables;
using server::ScriptKey;

// A path with a single quote survives the round trip through the script's
// quoting: doubled by the variable, read back as one.
TEST(RegistryScript, ModulePathWithQuotesReadsBackExactly) {
    const std::string path = "C:\\Bob's Tools\\Vorla Hybrid Engine.exe";
    const std::string script = ReplaceScriptVariables(
        "HKCR { K = s '%MODULE%' }", {{"Module", server::QuotedModuleVariable(path)}});
    const auto roots = ParseRegistryScript(script);
    ASSERT_EQ(roots.size(), 1u);
    ASSERT_EQ(roots[0].keys.size(), 1u);
    ASSERT_TRUE(roots[0].keys[0].defaultValue);
    EXPECT_EQ(roots[0].keys[0].defaultValue->text, "\"" + path + "\"");
}

TEST(RegistryScript, ReadsRemovalRulesGuidNamesValuesAndNumbers) {
    const auto roots = ParseRegistryScript(
        "HKLM { NoRemove Software { ForceRemove {0788BA58-68FD-4AB5-9589-3E38780B8A97} = s 'x'"
        " { val N = d '17' 'With Blank' } } }");
    ASSERT_EQ(roots.size(), 1u);
    const ScriptKey& software = roots[0].keys.at(0);
    EXPECT_EQ(software.removal, ScriptKey::Removal::NoRemove);
    const ScriptKey& guidKey = software.subkeys.at(0);
    EXPECT_EQ(guidKey.name, "{0788BA58-68FD-4AB5-9589-3E38780B8A97}");
    EXPECT_EQ(guidKey.removal, ScriptKey::Removal::ForceRemove);
    ASSERT_EQ(guidKey.values.size(), 1u);
    EXPECT_EQ(guidKey.values[0].second.number, 17u);
    EXPECT_EQ(guidKey.subkeys.at(0).name, "With Blank");
}

TEST(RegistryScript, MalformedScriptsAreRefused) {
    for (const char* bad : {"HKCR { K = s 'unterminated }", "HKCR { K { }", "HKCR { K = x 'v' }",
                            "HKCR { K = d 'ten' }", "HKCR { = s 'v' }"}) {
        EXPECT_THROW(ParseRegistryScript(bad), RegistryScriptError) << bad;
    }
    EXPECT_THROW(ReplaceScriptVariables("%NOPE%", {}), RegistryScriptError);
    EXPECT_EQ(ReplaceScriptVariables("100%% %module%", {{"Module", "m"}}), "100% m");
}

// The shipped script names the identifiers the code uses and the twelve
// engine directions in their order.
TEST(RegistryScript, ShippedScriptAgreesWithTheIdentifiers) {
    const auto roots = ParseRegistryScript(
        ReplaceScriptVariables(server::RegistryScriptText(), {{"Module", "\"m\""}}));
    ASSERT_EQ(roots.size(), 2u);
    const std::string text(server::RegistryScriptText());
    EXPECT_NE(text.find(GuidToRegistryString(kClsidTranslationEngine)), std::string::npos);
    EXPECT_NE(text.find(GuidToRegistryString(kAppIdTranslationEngine)), std::string::npos);
    const ScriptKey* engines = &roots[1].keys.at(0);
    for (const char* name : {"Quillon", "TranslateSkyvale Server", "Translation Engines"}) {
        ASSERT_EQ(engines->subkeys.size(), 1u);
        engines = &engines->subkeys[0];
        EXPECT_EQ(engines->name, name);
        EXPECT_EQ(engines->removal, ScriptKey::Removal::NoRemove);
    }
    ASSERT_EQ(engines->subkeys.size(), 12u);
    EXPECT_EQ(engines->subkeys.front().name, "Vorla Ar to En Hybrid Engine 1.0");
    EXPECT_EQ(engines->subkeys.back().name, "Vorla En to Ru Hybrid Engine 1.0");
    for (const ScriptKey& engine : engines->subkeys) {
        EXPECT_EQ(engine.removal, ScriptKey::Removal::ForceRemove) << engine.name;
        EXPECT_EQ(engine.values.size(), 4u) << engine.name;
    }
}

}  // namespace
