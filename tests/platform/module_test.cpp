#include "platform/module.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

std::string ProgramPath() {
    char path[4096];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
}

TEST(GetModuleFileNameTest, NamesThisProgramInWindowsForm) {
    const std::string path = ProgramPath();
    ASSERT_GT(path.size(), 3u);
    EXPECT_EQ(path[1], ':');
    EXPECT_EQ(path.find('/'), std::string::npos);
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    EXPECT_TRUE(name == "test_platform" || name == "test_platform.exe") << path;
}

TEST(GetModuleFileNameTest, SmallBufferGetsTheTruncatedPathAndTheError) {
    const std::string path = ProgramPath();
    char small[8];
    std::memset(small, '#', sizeof small);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    // Whether the last byte then holds a terminator differs between systems.
    EXPECT_EQ(std::string(small, sizeof small - 1), path.substr(0, sizeof small - 1));
}

// Folders the tests create, as the program sees them.
class FindFileTest : public ::testing::Test {
  protected:
    FindFileTest() {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "Models" / "ar-en");
        std::ofstream(folder / "Models" / "notes.txt") << "12345";
    }
    ~FindFileTest() override { std::filesystem::remove_all(folder); }

    // The path the engine would use: Windows form on Windows, and natively as
    // well, since the native build maps it.
    std::string WindowsPath(const std::string& relative) const {
        std::string path = std::filesystem::absolute(folder).string() + "\\" + relative;
#ifdef _WIN32
        return path;
#else
        for (char& c : path) {
            if (c == '/') {
                c = '\\';
            }
        }
        return "Z:" + path;
#endif
    }

    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) /
        ("qn-find-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
};

TEST_F(FindFileTest, ExistingFolderAndFileAreFoundMissingOnesAreNot) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(WindowsPath("Models\\ar-en").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(found.cFileName, "ar-en");
    EXPECT_TRUE(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(FindClose(search));

    search = FindFirstFileA(WindowsPath("Models\\notes.txt").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(found.nFileSizeLow, 5u);
    FindClose(search);

    EXPECT_EQ(FindFirstFileA(WindowsPath("Models\\fa-en").c_str(), &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFileA(WindowsPath("Missing\\ar-en").c_str(), &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FindFileTest, WildcardsListMatchingEntriesWithoutRegardToCase) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(WindowsPath("MODELS\\*-EN").c_str(), &found);
#ifndef _WIN32
    // A POSIX file system matches folder names by case; only the pattern is folded.
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    search = FindFirstFileA(WindowsPath("Models\\*-EN").c_str(), &found);
#endif
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(found.cFileName, "ar-en");
    EXPECT_FALSE(FindNextFileA(search, &found));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(search));

    std::set<std::string> names;
    search = FindFirstFileA(WindowsPath("Models\\*.*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        names.insert(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(names, (std::set<std::string>{".", "..", "ar-en", "notes.txt"}));
}

#ifndef _WIN32
TEST(FindCloseTest, RefusesWhatIsNotAnOpenSearch) {
    int notASearch = 0;
    EXPECT_FALSE(FindClose(&notASearch));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    WIN32_FIND_DATAA found;
    EXPECT_FALSE(FindNextFileA(&notASearch, &found));
}

TEST(GetModuleFileNameTest, TestOverrideIsReportedVerbatimUntilCleared) {
    const std::string real = ProgramPath();
    SetModuleFileNameForTesting("C:\\Program Files\\Vorla\\Vorla Hybrid Engine.exe");
    EXPECT_EQ(ProgramPath(), "C:\\Program Files\\Vorla\\Vorla Hybrid Engine.exe");
    SetModuleFileNameForTesting(nullptr);
    EXPECT_EQ(ProgramPath(), real);
}
#endif

}  // namespace
