// The installation commands against a registry they may not change or cannot
// read: each ends with a message that says what went wrong and a non-zero
// exit code, and the store keeps every byte it had.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include "platform/registry.h"
#include "tests/server/server_process.h"

namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

enum class Store {
    WritesDenied,   // readable, but this user may not change HKEY_LOCAL_MACHINE
    DeletesDenied,  // writable, but no key under HKEY_LOCAL_MACHINE may be deleted
    Unreadable,     // the file is not a store (torn, overwritten)
};

struct CommandCase {
    const char* name;
    const char* command;
    Store store;
};

class ConfigureFaults : public ::testing::TestWithParam<CommandCase> {
  protected:
    void SetUp() override {
        store_ = std::filesystem::temp_directory_path() /
                 ("qn-faults-" + std::to_string(::getpid()) + "-" + GetParam().name + ".reg");
        ::setenv(kRegistryFileVariable, store_.c_str(), 1);
        ::unsetenv(kRegistryDenyMachineWritesVariable);
        ::unsetenv(kRegistryDenyMachineDeletesVariable);
        // A registered server whose engines already carry "Suppress".
        const ProcessResult registered = RunProcess(QN_SERVER_EXE, "/RegServer");
        ASSERT_EQ(registered.exitCode, 0) << registered.errorOutput;
        ASSERT_NE(ReadBytes(store_).find("\"Suppress\"=dword:0000000"), std::string::npos);
    }

    void TearDown() override {
        ::unsetenv(kRegistryDenyMachineWritesVariable);
        ::unsetenv(kRegistryDenyMachineDeletesVariable);
        ::unsetenv(kRegistryFileVariable);
        for (const char* suffix : {"", ".lock", ".tmp"}) {
            std::filesystem::remove(store_.string() + suffix);
        }
    }

    std::filesystem::path store_;
};

TEST_P(ConfigureFaults, EndsWithAMessageAndAFailureCodeAndLosesNothing) {
    const CommandCase& c = GetParam();
    if (c.store == Store::WritesDenied) {
        ::setenv(kRegistryDenyMachineWritesVariable, "1", 1);
    } else if (c.store == Store::DeletesDenied) {
        ::setenv(kRegistryDenyMachineDeletesVariable, "1", 1);
    } else {
        // What a writer that died half-way would leave, followed by noise.
        const std::string whole = ReadBytes(store_);
        WriteBytes(store_, whole.substr(0, whole.size() / 2) + "\n[HKEY_LOCAL_MACHINE\\\x01\xff");
    }
    const std::string before = ReadBytes(store_);

    const ProcessResult result = RunProcess(QN_SERVER_EXE, c.command);

    EXPECT_NE(result.exitCode, 0) << "a failure reported as success";
    if (c.store != Store::Unreadable) {
        // Names the root it could not change.
        EXPECT_NE(result.errorOutput.find("HKEY_LOCAL_MACHINE"), std::string::npos)
            << "message: '" << result.errorOutput << "'";
    } else {
        // Names the file to look at.
        EXPECT_NE(result.errorOutput.find(store_.string()), std::string::npos)
            << "message: '" << result.errorOutput << "'";
    }
    EXPECT_EQ(ReadBytes(store_), before) << "the store was changed";
}

// Names the case in failure reports instead of dumping its bytes.
void PrintTo(const CommandCase& c, std::ostream* out) {
    *out << c.name;
}

const CommandCase kCases[] = {
    {"ConfigureWithoutWriteRights", "/Configure", Store::WritesDenied},
    {"RegServerWithoutWriteRights", "/RegServer", Store::WritesDenied},
    {"RegServerWithoutDeleteRights", "/RegServer", Store::DeletesDenied},
    {"UnregServerWithoutWriteRights", "/UnregServer", Store::WritesDenied},
    {"ConfigureWithUnreadableStore", "/Configure", Store::Unreadable},
    {"RegServerWithUnreadableStore", "/RegServer", Store::Unreadable},
    {"UnregServerWithUnreadableStore", "/UnregServer", Store::Unreadable},
};

INSTANTIATE_TEST_SUITE_P(Registry, ConfigureFaults, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CommandCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
