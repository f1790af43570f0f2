// Registry and SubKey against the platform's registry: natively the store of
// our own, on Windows (and under Wine) the real one.
#include "config/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/config/registry_scratch.h"

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

class RegistryTest : public ::testing::Test {
  protected:
    RegistryTest() { scratch.Cleanup(HKEY_CURRENT_USER, Path()); }
    std::string Path() const { return scratch.UserPath(); }

    ScratchRegistry scratch;
};

// One stored value and what each read makes of it.
struct TypedValue {
    const char* label;
    DWORD type;
    std::vector<BYTE> data;
    bool readsAsString;
    std::string text;
    bool readsAsDword;
    DWORD number;
    bool readsAsBytes;
};

class RegistryReadRules : public RegistryTest, public ::testing::WithParamInterface<TypedValue> {};

TEST_P(RegistryReadRules, EachReadTakesOnlyItsOwnWellFormedType) {
    const TypedValue& value = GetParam();
    ScratchRegistry::SetRaw(HKEY_CURRENT_USER, Path(), "V", value.type, value.data);
    Registry key(HKEY_CURRENT_USER, Path());

    std::string text = "untouched";
    EXPECT_EQ(key.ReadString("V", text), value.readsAsString);
    EXPECT_EQ(text, value.readsAsString ? value.text : "untouched");
    EXPECT_EQ(key.GetString("V", "fallback"), value.readsAsString ? value.text : "fallback");

    DWORD number = 12345;
    EXPECT_EQ(key.ReadDword("V", number), value.readsAsDword);
    EXPECT_EQ(number, value.readsAsDword ? value.number : 12345u);
    bool flag = false;
    EXPECT_EQ(key.ReadBool("V", flag), value.readsAsDword);
    if (value.readsAsDword) {
        EXPECT_EQ(flag, value.number != 0);
    } else {
        EXPECT_TRUE(key.GetBool("V", true));
        EXPECT_FALSE(key.GetBool("V", false));
    }

    DWORD size = 0;
    std::unique_ptr<BYTE[]> bytes;
    EXPECT_EQ(key.ReadBytes("V", size, bytes), value.readsAsBytes);
    if (value.readsAsBytes) {
        ASSERT_EQ(size, value.data.size());
        EXPECT_EQ(std::memcmp(bytes.get(), value.data.data(), size), 0);
    } else {
        EXPECT_EQ(bytes, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, RegistryReadRules,
    ::testing::Values(
        TypedValue{"Text", REG_SZ, {'a', 'b', 0}, true, "ab", false, 0, false},
        TypedValue{"TextOne", REG_SZ, {'1', 0}, true, "1", false, 0, false},
        TypedValue{"EmptyText", REG_SZ, {0}, true, "", false, 0, false},
        TypedValue{"Expandable", REG_EXPAND_SZ, {'%', 'x', '%', 0}, false, "", false, 0, false},
        TypedValue{"MultiText", REG_MULTI_SZ, {'a', 0, 'b', 0, 0}, false, "", false, 0, false},
        TypedValue{"DwordTwo", REG_DWORD, {2, 0, 0, 0}, false, "", true, 2, false},
        TypedValue{"DwordZero", REG_DWORD, {0, 0, 0, 0}, false, "", true, 0, false},
        TypedValue{"DwordHigh", REG_DWORD, {0, 0, 0, 0x80}, false, "", true, 0x80000000u, false},
        TypedValue{"Binary", REG_BINARY, {1, 0, 255}, false, "", false, 0, true},
        TypedValue{"EmptyBinary", REG_BINARY, {}, false, "", false, 0, false},
        TypedValue{"BinaryOfFour", REG_BINARY, {1, 0, 0, 0}, false, "", false, 0, true},
        // Fewer bytes than a number holds: reading it would leave garbage.
        TypedValue{"ShortDword", REG_DWORD, {7, 0}, false, "", false, 0, false}),
    [](const ::testing::TestParamInfo<TypedValue>& info) { return info.param.label; });

TEST_F(RegistryTest, MissingKeyAndValueReadAsAbsentAndTheKeyIsTriedAgain) {
    Registry key(HKEY_CURRENT_USER, Path());
    std::string text;
    EXPECT_FALSE(key.ReadString("V", text));
    EXPECT_TRUE(key.SubKeyNames().empty());
    EXPECT_TRUE(key.ValueNames().empty());
    EXPECT_FALSE(key.IsOpen());

    ScratchRegistry::SetString(HKEY_CURRENT_USER, Path(), "V", "now");
    EXPECT_EQ(key.GetString("V", "none"), "now");
    EXPECT_TRUE(key.IsOpen());
    EXPECT_FALSE(key.IsWritable());
    EXPECT_EQ(key.GetString("Other", "none"), "none");
}

TEST_F(RegistryTest, WritesStoreTheRegistryTypesWithTheirSizes) {
    Registry key(HKEY_CURRENT_USER, Path());
    key.WriteString("FromText", "abc");
    key.WriteString("FromString", std::string("de"));
    key.WriteDword("Number", 0xA1B2C3D4u);
    key.WriteBool("On", true);
    key.WriteBool("Off", false);
    const BYTE blob[] = {9, 8, 7};
    key.WriteBytes("Blob", sizeof blob, blob);
    key.WriteString("Empty", "");
    // A value that cannot be stored raises, as a key that cannot be opened does.
    EXPECT_THROW(key.WriteBytes("NoData", 1, nullptr), SystemErrorException);

    struct Expected {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
    };
    const Expected expected[] = {
        {"FromText", REG_SZ, {'a', 'b', 'c', 0}},
        {"FromString", REG_SZ, {'d', 'e', 0}},
        {"Number", REG_DWORD, {0xD4, 0xC3, 0xB2, 0xA1}},
        {"On", REG_DWORD, {1, 0, 0, 0}},
        {"Off", REG_DWORD, {0, 0, 0, 0}},
        {"Blob", REG_BINARY, {9, 8, 7}},
        {"Empty", REG_SZ, {0}},
    };
    UniqueHkey raw;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Path().c_str(), 0, KEY_READ, raw.put()),
              ERROR_SUCCESS);
    for (const Expected& value : expected) {
        BYTE data[16] = {};
        DWORD size = sizeof data;
        DWORD type = REG_NONE;
        ASSERT_EQ(RegQueryValueExA(raw.get(), value.name, nullptr, &type, data, &size),
                  ERROR_SUCCESS)
            << value.name;
        EXPECT_EQ(type, value.type) << value.name;
        EXPECT_EQ(std::vector<BYTE>(data, data + size), value.data) << value.name;
    }
}

TEST_F(RegistryTest, WriteWalkCreatesEveryComponentButTheFirst) {
    const std::string path = scratch.MachinePath() + "\\A\\B";
    scratch.Cleanup(HKEY_LOCAL_MACHINE, scratch.MachinePath());
    Registry key(HKEY_LOCAL_MACHINE, path);
    key.WriteDword("N", 1);
    EXPECT_TRUE(key.IsWritable());
    EXPECT_TRUE(ScratchRegistry::KeyExists(HKEY_LOCAL_MACHINE, scratch.MachinePath() + "\\A"));
    EXPECT_TRUE(ScratchRegistry::ValueExists(HKEY_LOCAL_MACHINE, path, "N"));
}

TEST_F(RegistryTest, MissingFirstComponentIsNeverCreated) {
    const std::string top = "QnTestsTop." + scratch.Unique();
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        scratch.Cleanup(root, top);
        for (const std::string& path : {top + "\\A\\B", top}) {
            Registry key(root, path);
            try {
                key.WriteDword("N", 1);
                ADD_FAILURE() << "no exception for " << path;
            } catch (const RegistryKeyMissing& missing) {
                EXPECT_EQ(missing.Message(), path);
            }
            EXPECT_FALSE(key.IsOpen());
            EXPECT_FALSE(ScratchRegistry::KeyExists(root, top)) << path;
        }
    }
}

TEST_F(RegistryTest, OneComponentPathIsOpenedForWriting) {
    Registry software(HKEY_CURRENT_USER, "Software");
    const std::string name = "QnProbe." + scratch.Unique();
    software.WriteDword(name, 5);
    EXPECT_TRUE(ScratchRegistry::ValueExists(HKEY_CURRENT_USER, "Software", name));
    EXPECT_TRUE(software.DeleteValue(name));
    EXPECT_FALSE(ScratchRegistry::ValueExists(HKEY_CURRENT_USER, "Software", name));
}

TEST_F(RegistryTest, TrailingBackslashNeverOpensForWriting) {
    const std::string path = Path() + "\\";
    Registry key(HKEY_CURRENT_USER, path);
    try {
        key.WriteString("V", "x");
        ADD_FAILURE() << "no exception";
    } catch (const QuillonException& error) {
        EXPECT_EQ(error.Message(), path);
    }
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(key.IsWritable());
}

TEST_F(RegistryTest, LastComponentOfOneCharacterOpensLikeAnyOther) {
    const std::string path = Path() + "\\A\\B";
    Registry key(HKEY_CURRENT_USER, path);
    key.WriteDword("N", 3);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, path).GetBool("N", false), true);
}

TEST_F(RegistryTest, SubKeyOfMissingParentReadsAsAbsentAndWritesCreate) {
    Registry parent(HKEY_CURRENT_USER, Path() + "\\Parent");
    SubKey child(parent, "Child");
    EXPECT_EQ(child.Path(), Path() + "\\Parent\\Child");
    EXPECT_EQ(child.Root(), HKEY_CURRENT_USER);
    EXPECT_EQ(child.GetString("V", "default"), "default");
    EXPECT_TRUE(child.SubKeyNames().empty());

    child.WriteString("V", "made");
    EXPECT_EQ(child.GetString("V", "default"), "made");
    EXPECT_FALSE(parent.IsOpen());
    EXPECT_EQ(parent.SubKeyNames(), std::vector<std::string>{"Child"});
}

TEST_F(RegistryTest, WriteAfterReadSwitchesToTheWritableHandleForGood) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, Path(), "Old", "o");
    Registry key(HKEY_CURRENT_USER, Path());
    EXPECT_EQ(key.GetString("Old", ""), "o");
    EXPECT_TRUE(key.IsOpen());
    EXPECT_FALSE(key.IsWritable());

    key.WriteString("New", std::string("n"));
    EXPECT_TRUE(key.IsWritable());
    EXPECT_EQ(key.GetString("New", ""), "n");
    EXPECT_EQ(key.GetString("Old", ""), "o");
    EXPECT_TRUE(key.IsWritable());

    key.Close();
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(key.IsWritable());
    EXPECT_EQ(key.GetString("New", ""), "n");
    EXPECT_FALSE(key.IsWritable());
}

TEST_F(RegistryTest, DeletesReportWhetherSomethingWentAway) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, Path() + "\\Child\\Grandchild", "V", "x");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, Path(), "V", "x");
    Registry key(HKEY_CURRENT_USER, Path());

    EXPECT_TRUE(key.DeleteValue("V"));
    EXPECT_FALSE(key.DeleteValue("V"));
    EXPECT_FALSE(key.DeleteKey(""));  // names no child: the key itself must stay
    EXPECT_TRUE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, Path() + "\\Child"));
    EXPECT_TRUE(key.DeleteKey("Child"));
    EXPECT_FALSE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, Path() + "\\Child"));
    EXPECT_FALSE(key.DeleteKey("Child"));
    EXPECT_TRUE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, Path()));
}

TEST_F(RegistryTest, ValueListingsSkipTheDefaultValueAndMatchPrefixesWithoutCase) {
    // The default value comes first in some registries' enumeration order; it
    // must not hide the names after it.
    ScratchRegistry::SetString(HKEY_CURRENT_USER, Path(), "", "default");
    for (const char* name : {"QnAlpha", "qnBeta", "Other", "Q"}) {
        ScratchRegistry::SetString(HKEY_CURRENT_USER, Path(), name, "x");
    }
    Registry key(HKEY_CURRENT_USER, Path());
    EXPECT_EQ(Sorted(key.ValueNames()),
              (std::vector<std::string>{"Other", "Q", "QnAlpha", "qnBeta"}));
    EXPECT_EQ(Sorted(key.ValueNamesWithPrefix("QN")),
              (std::vector<std::string>{"QnAlpha", "qnBeta"}));
    EXPECT_EQ(key.ValueNamesWithPrefix("qna"), std::vector<std::string>{"QnAlpha"});
    EXPECT_EQ(Sorted(key.ValueNamesWithPrefix("")), Sorted(key.ValueNames()));
    EXPECT_TRUE(key.ValueNamesWithPrefix("QnAlphabet").empty());
}

TEST_F(RegistryTest, SubKeyNamesListEveryNameThatFitsTheBuffer) {
    const std::string longest(255, 'k');
    UniqueHkey parent;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Path().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, parent.put(), nullptr),
              ERROR_SUCCESS);
    for (const std::string& name : {std::string("b"), longest, std::string("a")}) {
        UniqueHkey child;
        ASSERT_EQ(RegCreateKeyExA(parent.get(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, child.put(), nullptr),
                  ERROR_SUCCESS);
    }
    Registry key(HKEY_CURRENT_USER, Path());
    EXPECT_EQ(Sorted(key.SubKeyNames()), (std::vector<std::string>{"a", "b", longest}));
}

TEST_F(RegistryTest, NameOfTwoHundredSixtyCharactersEndsSubKeyNames) {
    const std::string fits(259, 'f');
    const std::string tooLong(260, 'x');
    UniqueHkey parent;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Path().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, parent.put(), nullptr),
              ERROR_SUCCESS);
    for (const std::string& name : {std::string("a"), fits, tooLong, std::string("b")}) {
        UniqueHkey child;
        if (RegCreateKeyExA(parent.get(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            child.put(), nullptr) != ERROR_SUCCESS) {
            GTEST_SKIP() << "this registry refuses key names of " << name.size() << " characters";
        }
    }
    // Listed in the order of creation: the long name and everything after it
    // fall out of the list.
    Registry key(HKEY_CURRENT_USER, Path());
    EXPECT_EQ(key.SubKeyNames(), (std::vector<std::string>{"a", fits}));
}

#ifndef _WIN32
TEST_F(RegistryTest, WithoutMachineRightsTheWriteRaisesAndTheKeyStaysClosed) {
    setenv(kRegistryDenyMachineWritesVariable, "1", 1);
    Registry key(HKEY_LOCAL_MACHINE, scratch.MachinePath());
    EXPECT_THROW(key.WriteDword("N", 1), RegistryKeyMissing);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(ScratchRegistry::KeyExists(HKEY_LOCAL_MACHINE, scratch.MachinePath()));
    EXPECT_FALSE(key.GetBool("N", false));  // reads still work
}
#endif

}  // namespace
