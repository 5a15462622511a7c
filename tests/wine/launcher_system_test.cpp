// The launcher's view of the file system and folders as Windows answers it.
#include "startup/launcher_win.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::wstring TempFolder() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    std::wstring path(folder, length);
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

class WindowsLauncherSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = TempFolder() + L"\\Sorvane Launcher System";
        CreateDirectoryW(folder_.c_str(), nullptr);
        file_ = folder_ + L"\\Sorvane 3D Screensaver.exe";
        HANDLE file = CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    void TearDown() override {
        DeleteFileW(file_.c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    std::wstring folder_, file_;
    WindowsLauncherSystem system_;
};

TEST_F(WindowsLauncherSystemTest, FileExistsForFilesAndFoldersButNotForMissingOrEmptyNames) {
    struct Case {
        const char* what;
        std::wstring path;
        bool exists;
        bool isFolder;
    };
    const Case cases[] = {
        {"a file", file_, true, false},
        {"a file named with a doubled backslash", folder_ + L"\\\\Sorvane 3D Screensaver.exe", true, false},
        {"a folder", folder_, true, true},
        {"a folder with a trailing backslash", folder_ + L"\\", true, true},
        {"a missing file", folder_ + L"\\missing.exe", false, false},
        {"a file in a missing folder", folder_ + L"\\gone\\Sorvane 3D Screensaver.exe", false, false},
        {"the empty name", L"", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileExists(c.path), c.exists) << c.what;
        EXPECT_EQ(system_.FileExists(c.path), c.exists) << c.what;
        EXPECT_EQ(system_.FolderExists(c.path), c.isFolder) << c.what;
    }
}

TEST_F(WindowsLauncherSystemTest, ProgramFilesFolderIsAnExistingFolder) {
    const auto folder = system_.ProgramFilesFolder();
    ASSERT_TRUE(folder);
    EXPECT_TRUE(system_.FolderExists(*folder)) << testing::PrintToString(*folder);
    EXPECT_NE(folder->back(), L'\\') << "the launcher appends its own separator";
}

TEST_F(WindowsLauncherSystemTest, CurrentFolderIsTheProcesssCurrentFolder) {
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
    const auto current = system_.CurrentFolder();
    SetCurrentDirectoryW(before);
    ASSERT_TRUE(current);
    EXPECT_EQ(_wcsicmp(current->c_str(), folder_.c_str()), 0)
        << "expected " << testing::PrintToString(folder_) << ", got " << testing::PrintToString(*current);
}

} // namespace
