// The registry functions as the engine relies on them: natively against the
// store of our own, on Windows (and under Wine) against the real registry.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/unique_hkey.h"
#include "tests/config/registry_scratch.h"

namespace {

class RegistryApiTest : public ::testing::Test {
  protected:
    RegistryApiTest() { scratch.Cleanup(HKEY_CURRENT_USER, scratch.UserPath()); }

    UniqueHkey Create(const std::string& path, DWORD* disposition = nullptr) {
        UniqueHkey key;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, key.put(), disposition),
                  ERROR_SUCCESS)
            << path;
        return key;
    }
    std::vector<std::string> SubKeys(HKEY key) {
        std::vector<std::string> names;
        char name[300];
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                return names;
            }
            names.emplace_back(name, length);
        }
    }
    std::vector<std::string> ValueNames(HKEY key) {
        std::vector<std::string> names;
        char name[300];
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof name;
            if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                return names;
            }
            names.emplace_back(name, length);
        }
    }

    ScratchRegistry scratch;
    const std::string base = scratch.UserPath();
};

TEST_F(RegistryApiTest, KeyNamesIgnoreCaseAndKeepTheirOwn) {
    DWORD disposition = 0;
    Create(base + "\\MixedCase", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    Create(base + "\\MIXEDCASE", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

    UniqueHkey lower;
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, (base + "\\mixedcase").c_str(), 0, KEY_READ, lower.put()),
        ERROR_SUCCESS);
    UniqueHkey parent = Create(base);
    EXPECT_EQ(SubKeys(parent.get()), std::vector<std::string>{"MixedCase"});
}

TEST_F(RegistryApiTest, MissingKeysAndBadPathsAreReported) {
    UniqueHkey key;
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, (base + "\\Missing").c_str(), 0, KEY_READ, key.put()),
        static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, key.put()),
              static_cast<LONG>(ERROR_BAD_PATHNAME));
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, ("\\" + base).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              static_cast<LONG>(ERROR_BAD_PATHNAME));
    EXPECT_FALSE(key);
    // A trailing backslash names the same key.
    Create(base);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (base + "\\").c_str(), 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
}

TEST_F(RegistryApiTest, QueryReportsTypeAndSizeAndRefusesSmallBuffers) {
    UniqueHkey key = Create(base);
    ASSERT_EQ(
        RegSetValueExA(key.get(), "Greeting", 0, REG_SZ, reinterpret_cast<const BYTE*>("hello"), 6),
        ERROR_SUCCESS);

    DWORD type = REG_NONE;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key.get(), "GREETING", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u);

    char small[3] = {'#', '#', '#'};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key.get(), "Greeting", nullptr, &type,
                               reinterpret_cast<BYTE*>(small), &size),
              static_cast<LONG>(ERROR_MORE_DATA));
    EXPECT_EQ(size, 6u);

    char exact[6] = {};
    size = sizeof exact;
    EXPECT_EQ(RegQueryValueExA(key.get(), "greeting", nullptr, &type,
                               reinterpret_cast<BYTE*>(exact), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(exact, "hello");

    EXPECT_EQ(RegQueryValueExA(key.get(), "Other", nullptr, &type, nullptr, &size),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryApiTest, NullAndEmptyValueNamesAreTheDefaultValue) {
    UniqueHkey key = Create(base);
    const DWORD number = 7;
    ASSERT_EQ(RegSetValueExA(key.get(), nullptr, 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&number), sizeof number),
              ERROR_SUCCESS);
    DWORD read = 0;
    DWORD size = sizeof read;
    EXPECT_EQ(
        RegQueryValueExA(key.get(), "", nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(read, 7u);
}

TEST_F(RegistryApiTest, SettingAValueAgainReplacesItUnderItsFirstName) {
    UniqueHkey key = Create(base);
    const BYTE one[] = {1};
    const BYTE two[] = {2, 2};
    ASSERT_EQ(RegSetValueExA(key.get(), "Name", 0, REG_BINARY, one, 1), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), "NAME", 0, REG_BINARY, two, 2), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(key.get()), std::vector<std::string>{"Name"});
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key.get(), "name", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 2u);
}

TEST_F(RegistryApiTest, ReadOnlyHandleCannotSetValues) {
    Create(base);
    UniqueHkey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, base.c_str(), 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
    const BYTE data[] = {1};
    EXPECT_EQ(RegSetValueExA(key.get(), "V", 0, REG_BINARY, data, 1),
              static_cast<LONG>(ERROR_ACCESS_DENIED));
}

TEST_F(RegistryApiTest, DeletesOfKeysAndValues) {
    Create(base + "\\Tree\\Branch\\Leaf");
    UniqueHkey key = Create(base);
    EXPECT_NE(RegDeleteKeyA(key.get(), "Tree"), ERROR_SUCCESS);  // it has subkeys
    EXPECT_EQ(RegDeleteKeyA(key.get(), "Tree\\Branch\\Leaf"), ERROR_SUCCESS);
    EXPECT_EQ(SHDeleteKeyA(key.get(), "Tree"), ERROR_SUCCESS);
    EXPECT_TRUE(SubKeys(key.get()).empty());
    EXPECT_EQ(SHDeleteKeyA(key.get(), "Tree"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(key.get(), "Tree"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegDeleteValueA(key.get(), "Nothing"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryApiTest, EnumerationReportsLengthsAndTheEnd) {
    Create(base + "\\Child");
    UniqueHkey key = Create(base);
    const BYTE data[] = {5, 6, 7};
    ASSERT_EQ(RegSetValueExA(key.get(), "Bytes", 0, REG_BINARY, data, 3), ERROR_SUCCESS);

    char name[6];
    DWORD length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(length, 5u);
    EXPECT_STREQ(name, "Child");
    length = 5;  // no room for the terminator
    EXPECT_EQ(RegEnumKeyExA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              static_cast<LONG>(ERROR_MORE_DATA));
    length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key.get(), 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              static_cast<LONG>(ERROR_NO_MORE_ITEMS));

    DWORD type = REG_NONE;
    BYTE read[8] = {};
    DWORD size = sizeof read;
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key.get(), 0, name, &length, nullptr, &type, read, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "Bytes");
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(std::vector<BYTE>(read, read + size), (std::vector<BYTE>{5, 6, 7}));
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key.get(), 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              static_cast<LONG>(ERROR_NO_MORE_ITEMS));
}

TEST_F(RegistryApiTest, HandleOfADeletedKeyFailsQuietly) {
    Create(base + "\\Doomed");
    UniqueHkey doomed;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (base + "\\Doomed").c_str(), 0, KEY_ALL_ACCESS,
                            doomed.put()),
              ERROR_SUCCESS);
    ASSERT_EQ(SHDeleteKeyA(HKEY_CURRENT_USER, (base + "\\Doomed").c_str()), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(doomed.get(), "V", nullptr, nullptr, nullptr, &size),
              static_cast<LONG>(ERROR_KEY_DELETED));
    const BYTE data[] = {1};
    EXPECT_EQ(RegSetValueExA(doomed.get(), "V", 0, REG_BINARY, data, 1),
              static_cast<LONG>(ERROR_KEY_DELETED));
    EXPECT_FALSE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, base + "\\Doomed"));
}

TEST_F(RegistryApiTest, ClassesRootIsTheMachinesSoftwareClasses) {
    const std::string name = "QnTests." + scratch.Unique();
    scratch.Cleanup(HKEY_CLASSES_ROOT, name);
    UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(ScratchRegistry::KeyExists(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + name));
}

}  // namespace
