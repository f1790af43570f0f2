// A registry for one test. Natively a fresh store file in a temporary folder;
// on Windows the real registry, with keys of the test's own name under
// Software\QnTests of both hives, deleted (with any key the test names for
// cleanup) when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/unique_hkey.h"

#ifdef _WIN32
#include <process.h>
#define QN_GETPID _getpid
#else
#include <unistd.h>
#define QN_GETPID getpid
#endif

class ScratchRegistry {
  public:
    ScratchRegistry() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        unique_ = std::string(test->test_suite_name()) + "." + test->name() + "." +
                  std::to_string(QN_GETPID());
        for (char& c : unique_) {
            if (c == '/' || c == '\\') {
                c = '_';
            }
        }
#ifndef _WIN32
        folder_ = std::filesystem::temp_directory_path() / ("qn-registry-" + unique_);
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        setenv(kRegistryFileVariable, StoreFile().c_str(), 1);
        unsetenv(kRegistryDenyMachineWritesVariable);
        unsetenv(kRegistryDenyMachineDeletesVariable);
#endif
        Cleanup(HKEY_CURRENT_USER, UserPath());
        Cleanup(HKEY_LOCAL_MACHINE, MachinePath());
    }

    ~ScratchRegistry() {
        for (const auto& [root, path] : cleanup_) {
            SHDeleteKeyA(root, path.c_str());
        }
        DeleteIfEmpty(HKEY_CURRENT_USER, "Software\\QnTests");
        DeleteIfEmpty(HKEY_LOCAL_MACHINE, "Software\\QnTests");
#ifndef _WIN32
        unsetenv(kRegistryDenyMachineWritesVariable);
        unsetenv(kRegistryDenyMachineDeletesVariable);
        unsetenv(kRegistryFileVariable);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
#endif
    }

    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    // A name no other test (or other run of this test) uses.
    const std::string& Unique() const {
        return unique_;
    }
    // Scratch key paths, not created yet.
    std::string UserPath() const {
        return "Software\\QnTests\\" + unique_;
    }
    std::string MachinePath() const {
        return "Software\\QnTests\\" + unique_;
    }

    // Deletes `path` (recursively) when the test ends.
    void Cleanup(HKEY root, const std::string& path) {
        cleanup_.emplace_back(root, path);
    }
    // Deletes `path` when the test ends if it then has neither subkeys nor values.
    static void DeleteIfEmpty(HKEY root, const std::string& path) {
        UniqueHkey key;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
            return;
        }
        char name[300];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_NO_MORE_ITEMS) {
            return;
        }
        length = sizeof name;
        if (RegEnumValueA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_NO_MORE_ITEMS) {
            return;
        }
        key.reset();
        RegDeleteKeyA(root, path.c_str());
    }

#ifndef _WIN32
    std::string StoreFile() const {
        return (folder_ / "registry.reg").string();
    }
#endif

    // Writes a value with the platform API, creating the key as needed.
    static void SetRaw(HKEY root, const std::string& path, const std::string& name, DWORD type,
                       const std::vector<BYTE>& data) {
        UniqueHkey key;
        ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  key.put(), nullptr),
                  ERROR_SUCCESS)
            << path;
        ASSERT_EQ(RegSetValueExA(key.get(), name.c_str(), 0, type, data.data(),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS)
            << name;
    }
    static void SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
        SetRaw(root, path, name, REG_DWORD,
               {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)});
    }
    static void SetString(HKEY root, const std::string& path, const std::string& name,
                          const std::string& text) {
        std::vector<BYTE> data(text.begin(), text.end());
        data.push_back(0);
        SetRaw(root, path, name, REG_SZ, data);
    }
    static bool KeyExists(HKEY root, const std::string& path) {
        UniqueHkey key;
        return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    }
    static bool ValueExists(HKEY root, const std::string& path, const std::string& name) {
        UniqueHkey key;
        return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS &&
               RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                   ERROR_SUCCESS;
    }

  private:
    std::string unique_;
    std::vector<std::pair<HKEY, std::string>> cleanup_;
#ifndef _WIN32
    std::filesystem::path folder_;
#endif
};
