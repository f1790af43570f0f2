// The native registry's store file: its text form, persistence, atomic
// replacement, the lock between processes and the refusal to touch a store
// it cannot read.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/native/registry_file.h"
#include "platform/native/registry_tree.h"
#include "platform/registry.h"
#include "platform/unique_hkey.h"
#include "tests/config/registry_scratch.h"

namespace {

using native_registry::FormatError;
using native_registry::Hive;
using native_registry::Key;
using native_registry::ParseTree;
using native_registry::Tree;

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::vector<BYTE> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// "k\k\...\k", `levels` names deep.
std::string DeepPath(std::size_t levels) {
    std::string path = "k";
    for (std::size_t i = 1; i < levels; ++i) {
        path += "\\k";
    }
    return path;
}

// Structural equality, including the order of children and values.
void ExpectSameKey(const Key& a, const Key& b) {
    EXPECT_EQ(a.Name(), b.Name());
    ASSERT_EQ(a.Values().size(), b.Values().size()) << a.Name();
    for (std::size_t i = 0; i < a.Values().size(); ++i) {
        EXPECT_EQ(a.Values()[i].name, b.Values()[i].name);
        EXPECT_EQ(a.Values()[i].type, b.Values()[i].type) << a.Values()[i].name;
        EXPECT_EQ(a.Values()[i].data, b.Values()[i].data) << a.Values()[i].name;
    }
    ASSERT_EQ(a.Children().size(), b.Children().size()) << a.Name();
    for (std::size_t i = 0; i < a.Children().size(); ++i) {
        ExpectSameKey(*a.Children()[i], *b.Children()[i]);
    }
}

TEST(RegistryTreeTest, TextFormKeepsEveryNameTypeAndByte) {
    Tree tree;
    Key& odd = tree.currentUser.ChildOrNew("Software").ChildOrNew("Odd [name] 100% \x01\xe9");
    odd.SetValue("", REG_SZ, Bytes(std::string("default\0", 8)));
    odd.SetValue("quote\" back\\slash \x7f\xff", REG_SZ, Bytes(std::string("tab\there\0", 9)));
    odd.SetValue("@", REG_SZ, Bytes(std::string("at\0", 3)));
    odd.SetValue("no terminator", REG_SZ, Bytes("abc"));
    odd.SetValue("inner zero", REG_SZ, Bytes(std::string("a\0b\0", 4)));
    odd.SetValue("empty text", REG_SZ, {});
    odd.SetValue("expand", REG_EXPAND_SZ, Bytes(std::string("%PATH%\0", 7)));
    odd.SetValue("multi", REG_MULTI_SZ, Bytes(std::string("a\0b\0\0", 5)));
    odd.SetValue("dword", REG_DWORD, {0x2a, 0, 0, 0x80});
    odd.SetValue("short dword", REG_DWORD, {1, 2});
    odd.SetValue("binary", REG_BINARY, {0, 1, 0xfe});
    odd.SetValue("empty binary", REG_BINARY, {});
    odd.SetValue("qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
    odd.ChildOrNew("second");
    odd.ChildOrNew("first");  // order of creation, not of names
    tree.localMachine.SetValue("at the root", REG_DWORD, {1, 0, 0, 0});

    const std::string text = native_registry::FormatTree(tree);
    const Tree again = ParseTree(text);
    ExpectSameKey(again.localMachine, tree.localMachine);
    ExpectSameKey(again.currentUser, tree.currentUser);
    EXPECT_EQ(native_registry::FormatTree(again), text);

    // Readable where it can be.
    EXPECT_NE(text.find("\n[HKEY_CURRENT_USER\\Software\\Odd %5Bname%5D 100%25 %01%E9]\n"),
              std::string::npos);
    EXPECT_NE(text.find("\n@=\"default\"\n"), std::string::npos);
    EXPECT_NE(text.find("\n\"dword\"=dword:8000002a\n"), std::string::npos);
    EXPECT_NE(text.find("\n\"binary\"=hex:00,01,fe\n"), std::string::npos);
    EXPECT_NE(text.find("\n\"expand\"=hex(2):25,50,41,54,48,25,00\n"), std::string::npos);
}

TEST(RegistryTreeTest, UnreadableTextsNameTheirLine) {
    const std::string header = "QN-REGISTRY 1\n";
    const std::pair<std::string, std::size_t> cases[] = {
        {"[HKEY_CURRENT_USER]\n", 1},
        {"REGEDIT4\n", 1},
        {header + "\"v\"=\"x\"\n", 2},
        {header + "[HKEY_SOMEWHERE\\Software]\n", 2},
        {header + "[HKEY_CURRENT_USER\\Software\n", 2},
        {header + "[HKEY_CURRENT_USER\\Soft]ware]\n", 2},
        {header + "[HKEY_CURRENT_USER\\A\\\\B]\n", 2},
        {header + "[HKEY_CURRENT_USER\\A%4]\n", 2},
        {header + "[HKEY_CURRENT_USER\\A%G0]\n", 2},
        {header + "\n; comment\n[HKEY_CURRENT_USER]\n\"v\"=\"unterminated\n", 5},
        {header + "[HKEY_CURRENT_USER]\n\"v\"=\"bad \\q escape\"\n", 3},
        {header + "[HKEY_CURRENT_USER]\n\"v\"=hex:0g\n", 3},
        {header + "[HKEY_CURRENT_USER]\n\"v\"=hex:01,\n", 3},
        {header + "[HKEY_CURRENT_USER]\n\"v\"=dword:\n", 3},
        {header + "[HKEY_CURRENT_USER]\n\"v\"=dword:1 trailing\n", 3},
        {header + "[HKEY_CURRENT_USER]\n\"\"=\"use @\"\n", 3},
        {header + "[HKEY_CURRENT_USER]\nv=1\n", 3},
        {header + "[HKEY_CURRENT_USER\\" + DeepPath(513) + "]\n", 2},
        {header + "[HKEY_CURRENT_USER\\" + DeepPath(200000) + "]\n", 2},
    };
    for (const auto& [text, line] : cases) {
        try {
            ParseTree(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const FormatError& error) {
            EXPECT_EQ(error.Line(), line) << text << error.what();
        }
    }
    EXPECT_NO_THROW(ParseTree(""));
    EXPECT_NO_THROW(ParseTree(header + "[HKEY_CURRENT_USER\\A]\r\n\"v\"=dword:1\r\n"));
    EXPECT_NO_THROW(ParseTree(header + "[HKEY_CURRENT_USER\\" + DeepPath(512) + "]\n"));
}

class RegistryStoreTest : public ::testing::Test {
  protected:
    RegistryStoreTest() : path(scratch.StoreFile()) {}

    UniqueHkey CreateKey(HKEY root, const std::string& subKey) {
        UniqueHkey key;
        EXPECT_EQ(RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  key.put(), nullptr),
                  ERROR_SUCCESS);
        return key;
    }

    ScratchRegistry scratch;
    const std::string path;
};

TEST_F(RegistryStoreTest, EveryChangeIsInTheFileAndEveryCallReadsIt) {
    UniqueHkey key = CreateKey(HKEY_CURRENT_USER, "Software\\Kept");
    const DWORD answer = 42;
    ASSERT_EQ(RegSetValueExA(key.get(), "Answer", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&answer), sizeof answer),
              ERROR_SUCCESS);
    std::string text = ReadFile(path);
    EXPECT_EQ(text.rfind("QN-REGISTRY 1\n", 0), 0u);
    EXPECT_NE(text.find("\n[HKEY_CURRENT_USER\\Software\\Kept]\n\"Answer\"=dword:0000002a\n"),
              std::string::npos)
        << text;

    // An edit made by someone else is seen by the next call.
    const std::string line = "\"Answer\"=dword:0000002a";
    text.replace(text.find(line), line.size(), "\"Answer\"=dword:00000007");
    WriteFile(path, text);
    DWORD read = 0;
    DWORD size = sizeof read;
    EXPECT_EQ(RegQueryValueExA(key.get(), "Answer", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(&read), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(read, 7u);
}

TEST_F(RegistryStoreTest, FreshStoreHasTheStandardKeysAndIsNotWrittenByReads) {
    UniqueHkey key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes", 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_READ, key.put()), ERROR_SUCCESS);
    EXPECT_FALSE(std::ifstream(path).good());
}

TEST_F(RegistryStoreTest, UnreadableStoreFailsEveryCallAndIsLeftAlone) {
    const std::string garbage = "this is not a registry\n";
    WriteFile(path, garbage);
    UniqueHkey key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, key.put()),
              static_cast<LONG>(ERROR_BADDB));
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr),
              static_cast<LONG>(ERROR_BADDB));
    EXPECT_EQ(SHDeleteKeyA(HKEY_CURRENT_USER, "Software"), ERROR_BADDB);
    const BYTE data[] = {1};
    EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "V", 0, REG_BINARY, data, 1),
              static_cast<LONG>(ERROR_BADDB));
    EXPECT_EQ(ReadFile(path), garbage);
    const std::string problem = RegistryStoreProblem();
    EXPECT_NE(problem.find(path + ":1:"), std::string::npos) << problem;

    // Mended by hand, it works again.
    WriteFile(path, "QN-REGISTRY 1\n");
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);
    EXPECT_EQ(RegistryStoreProblem(), "");
}

TEST_F(RegistryStoreTest, HalfWrittenFileOfADeadWriterChangesNothing) {
    UniqueHkey key = CreateKey(HKEY_CURRENT_USER, "Software\\Before");
    const std::string before = ReadFile(path);
    WriteFile(path + ".tmp", "QN-REGISTRY 1\n[HKEY_CURRENT_USER\\Soft");
    EXPECT_TRUE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, "Software\\Before"));
    EXPECT_EQ(ReadFile(path), before);

    CreateKey(HKEY_CURRENT_USER, "Software\\After");
    EXPECT_TRUE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, "Software\\Before"));
    EXPECT_TRUE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, "Software\\After"));
    EXPECT_FALSE(std::ifstream(path + ".tmp").good());
}

// Exits with 0 when every call of the child's loop succeeded.
[[noreturn]] void WriteValues(const std::string& prefix, int count, int reportFd) {
    UniqueHkey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Shared", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        _exit(2);
    }
    for (int i = 0; count < 0 || i < count; ++i) {
        const std::string name = prefix + std::to_string(i);
        const DWORD value = static_cast<DWORD>(i);
        if (RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&value), sizeof value) != ERROR_SUCCESS) {
            _exit(3);
        }
        if (i % 10 == 0) {
            UniqueHkey child;
            if (RegCreateKeyExA(key.get(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                child.put(), nullptr) != ERROR_SUCCESS) {
                _exit(4);
            }
        }
        if (reportFd >= 0 && write(reportFd, "+", 1) != 1) {
            _exit(5);
        }
    }
    _exit(0);
}

std::set<std::string> NamesUnder(const Tree& tree, bool values) {
    const Key* software = tree.currentUser.FindChild("Software");
    const Key* shared = software != nullptr ? software->FindChild("Shared") : nullptr;
    std::set<std::string> names;
    if (shared == nullptr) {
        return names;
    }
    if (values) {
        for (const auto& value : shared->Values()) {
            names.insert(value.name);
        }
    } else {
        for (const auto& child : shared->Children()) {
            names.insert(child->Name());
        }
    }
    return names;
}

TEST_F(RegistryStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kPerProcess = 40;
    std::vector<pid_t> children;
    for (const char* prefix : {"a", "b"}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            WriteValues(prefix, kPerProcess, -1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const Tree tree = ParseTree(ReadFile(path));
    std::set<std::string> expectedValues;
    std::set<std::string> expectedKeys;
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < kPerProcess; ++i) {
            expectedValues.insert(prefix + std::to_string(i));
            if (i % 10 == 0) {
                expectedKeys.insert(prefix + std::to_string(i));
            }
        }
    }
    EXPECT_EQ(NamesUnder(tree, true), expectedValues);
    EXPECT_EQ(NamesUnder(tree, false), expectedKeys);
}

TEST_F(RegistryStoreTest, WriterKilledAtAnyMomentLeavesAWholeStore) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(report[0]);
        WriteValues("v", -1, report[1]);
    }
    close(report[1]);
    // Let it get going, then kill it wherever it is: reading, writing the new
    // file or renaming it.
    char mark;
    int reported = 0;
    while (reported < 25 && read(report[0], &mark, 1) == 1) {
        ++reported;
    }
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(report[0]);
    ASSERT_EQ(reported, 25);

    const Tree tree = ParseTree(ReadFile(path));  // throws if torn
    const std::set<std::string> names = NamesUnder(tree, true);
    EXPECT_GE(names.size(), 25u);
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(names.count("v" + std::to_string(i)), 1u) << "gap at v" << i;
    }
    // And the store goes on working.
    UniqueHkey key = CreateKey(HKEY_CURRENT_USER, "Software\\Afterwards");
    EXPECT_TRUE(key);
}

TEST_F(RegistryStoreTest, DeniedMachineWritesFailWhileReadsAndUserWritesWork) {
    UniqueHkey existing = CreateKey(HKEY_LOCAL_MACHINE, "Software\\Existing");
    setenv(kRegistryDenyMachineWritesVariable, "1", 1);
    const BYTE data[] = {1};
    UniqueHkey key;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT}) {
        EXPECT_EQ(RegCreateKeyExA(root, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                                  nullptr),
                  static_cast<LONG>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(RegSetValueExA(root, "V", 0, REG_BINARY, data, 1),
                  static_cast<LONG>(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, 0x2001F, key.put()),
              static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Existing"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetValueExA(existing.get(), "V", 0, REG_BINARY, data, 1),
              static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Existing", 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "V", 0, REG_BINARY, data, 1), ERROR_SUCCESS);

    setenv(kRegistryDenyMachineWritesVariable, "0", 1);
    EXPECT_EQ(RegSetValueExA(existing.get(), "V", 0, REG_BINARY, data, 1), ERROR_SUCCESS);
}

// Deleting alone can be denied: the key and any tree that holds it stay,
// while its values and subkeys can still be written.
TEST_F(RegistryStoreTest, DeniedDeletesKeepTheKeyAndEveryTreeHoldingIt) {
    UniqueHkey kept = CreateKey(HKEY_LOCAL_MACHINE, "Software\\Tree\\Kept");
    UniqueHkey other = CreateKey(HKEY_LOCAL_MACHINE, "Software\\Tree\\Other");
    setenv(kRegistryDenyMachineDeletesVariable, "Software\\Tree\\Kept", 1);
    const BYTE data[] = {1};
    UniqueHkey key;
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tree\\Kept", 0, KEY_READ | DELETE, key.put()),
        static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Tree"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Tree\\Kept"),
              static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegSetValueExA(kept.get(), "V", 0, REG_BINARY, data, 1), ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExA(kept.get(), "Sub", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                              key.put(), nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Tree\\Other"), ERROR_SUCCESS);
    unsetenv(kRegistryDenyMachineDeletesVariable);
    EXPECT_EQ(SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Tree"), ERROR_SUCCESS);
}

TEST_F(RegistryStoreTest, HandlesAreCheckedAndTheirRightsEnforced) {
    UniqueHkey key = CreateKey(HKEY_CURRENT_USER, "Software\\Rights");
    HKEY closed = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &closed), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(closed), static_cast<LONG>(ERROR_INVALID_HANDLE));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(closed, "V", nullptr, nullptr, nullptr, &size),
              static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegQueryValueExA(nullptr, "V", nullptr, nullptr, nullptr, &size),
              static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);

    UniqueHkey queryOnly;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_QUERY_VALUE, queryOnly.put()),
              ERROR_SUCCESS);
    char name[16];
    DWORD length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(queryOnly.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              static_cast<LONG>(ERROR_ACCESS_DENIED));
    UniqueHkey created;
    EXPECT_EQ(RegCreateKeyExA(queryOnly.get(), "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              created.put(), nullptr),
              static_cast<LONG>(ERROR_ACCESS_DENIED));
}

// Keys lie at most 512 levels below their hive, counted from the hive also
// when created below an open key.
TEST_F(RegistryStoreTest, KeysDeeperThan512LevelsAreRefused) {
    UniqueHkey deepest = CreateKey(HKEY_CURRENT_USER, DeepPath(512));
    ASSERT_TRUE(deepest);
    UniqueHkey key;
    EXPECT_EQ(RegCreateKeyExA(deepest.get(), "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              static_cast<LONG>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, DeepPath(511).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              static_cast<LONG>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, DeepPath(512).c_str(), 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
}

TEST_F(RegistryStoreTest, DefaultLocationIsInTheUsersConfigurationFolder) {
    unsetenv(kRegistryFileVariable);
    const std::string folder = ::testing::TempDir() + "qn-config-" + std::to_string(getpid());
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg != nullptr ? oldXdg : "";
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    EXPECT_EQ(native_registry::StorePath(), folder + "/translation-engine/registry.reg");
    CreateKey(HKEY_CURRENT_USER, "Software\\Placed");
    EXPECT_TRUE(std::ifstream(folder + "/translation-engine/registry.reg").good());

    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    if (!home.empty()) {
        EXPECT_EQ(native_registry::StorePath(), home + "/.config/translation-engine/registry.reg");
    }
    if (oldXdg != nullptr) {
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
    std::filesystem::remove_all(folder);
}

}  // namespace

#endif
