// A library planted beside the screensaver under a system library's name is
// never loaded, in any mode, and the program still works. The harness tells
// Wine to prefer such a native file wherever its search finds one, as
// Windows' own search would for all but its known libraries
// (tests/e2e/CMakeLists.txt); a plain load from the same folder proves that a
// planted file is found and noticed.
#include "tests/e2e/driver/file_dialog.h"
#include "tests/e2e/driver/hit_capture.h"
#include "tests/e2e/driver/main_program_stand_in.h"
#include "tests/e2e/driver/preview_host.h"
#include "tests/e2e/driver/test_files.h"
#include "resources/resource_ids.h"
#include "tests/e2e/settings_dialog_fixture.h"


namespace settings_e2e {
namespace {

constexpr const wchar_t* kFolder = L"C:\\Sorvane Planted";
// Everything the program loads by name or when a mode needs it, and what
// those libraries need in turn; planted under each name.
constexpr const wchar_t* kPlanted[] = {
    L"MPR.DLL",      L"d3d11.dll",   L"ddraw.dll",    L"ole32.dll",   L"ntdll.dll",   L"d3d9.dll",
    L"winmm.dll",    L"urlmon.dll",  L"wininet.dll",  L"comdlg32.dll", L"user32.dll", L"gdi32.dll",
    L"oleaut32.dll", L"shell32.dll", L"comctl32.dll", L"dxgi.dll",    L"opengl32.dll", L"wined3d.dll",
    L"version.dll",  L"uxtheme.dll", L"shlwapi.dll",  L"imm32.dll",   L"wbemprox.dll", L"windowscodecs.dll",
};

std::wstring Binary(const wchar_t* name) { return e2e::TestBinFolder() + L"\\" + name; }

class PlantedLibraries : public SettingsDialogTest {
  protected:
    void SetUp() override {
        wchar_t overrides[2048] = {};
        GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 2048);
        if (!wcsstr(overrides, L"mpr,")) GTEST_SKIP() << "runs with the harness's load orders (e2e.planted)";
        savedScreensaver_ = e2e::ScreensaverPath();
        SettingsDialogTest::SetUp();
        e2e::RemoveTree(kFolder);
        ASSERT_TRUE(CreateDirectoryW(kFolder, nullptr));
        ASSERT_TRUE(CopyFileW(e2e::ScreensaverPath().c_str(), Path(L"Sorvane 3D Screensaver.scr").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(Binary(L"plain_loader.exe").c_str(), Path(L"plain_loader.exe").c_str(), FALSE));
        for (const wchar_t* name : kPlanted)
            ASSERT_TRUE(CopyFileW(Binary(L"planted_library.dll").c_str(), Path(name).c_str(), FALSE)) << name;
        SetEnvironmentVariableW(L"SORVANE_SCR", Path(L"Sorvane 3D Screensaver.scr").c_str());
    }
    void TearDown() override {
        if (savedScreensaver_.empty()) return; // skipped before anything was set up
        SettingsDialogTest::TearDown();
        SetEnvironmentVariableW(L"SORVANE_SCR", savedScreensaver_.c_str());
        e2e::RemoveTree(kFolder);
    }
    static std::wstring Path(const wchar_t* name) { return std::wstring(kFolder) + L"\\" + name; }
    // The planted libraries that something loaded.
    static std::vector<std::wstring> Loaded() {
        std::vector<std::wstring> loaded;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(Path(L"*.loaded").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return loaded;
        do {
            // The marker holds the program that loaded the library.
            std::wstring by;
            if (FILE* in = _wfopen(Path(found.cFileName).c_str(), L"rb")) {
                wchar_t text[MAX_PATH] = {};
                by.assign(text, fread(text, sizeof(wchar_t), MAX_PATH - 1, in));
                fclose(in);
            }
            loaded.push_back(std::wstring(found.cFileName) + L" by " + by);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return loaded;
    }
    // Runs a mode that ends by itself within the deadline.
    static void RunToEnd(const std::wstring& switches) {
        e2e::Process saver = e2e::Process::Screensaver(switches);
        ASSERT_TRUE(saver.Started());
        ASSERT_TRUE(saver.WaitForExit(kDeadline)) << testing::PrintToString(switches) << " did not end";
    }

    std::wstring savedScreensaver_;
};

TEST_F(PlantedLibraries, APlainLoadFromTheSameFolderTakesThePlantedFile) {
    e2e::Process loader = e2e::Process::Start(Path(L"plain_loader.exe"), L"winmm.dll", kFolder);
    ASSERT_TRUE(loader.Started());
    ASSERT_TRUE(loader.WaitForExit(kDeadline));
    EXPECT_EQ(Loaded(), std::vector<std::wstring>{L"winmm.dll.loaded by " + Path(L"plain_loader.exe")})
        << "the scenarios below could not tell a planted library from the system's";
}

TEST_F(PlantedLibraries, NoModeLoadsOneAndEachStillWorks) {
    // Exit, password change and the preview.
    RunToEnd(L"/t");
    RunToEnd(L"/a 0");
    {
        e2e::PreviewHost host(152, 112);
        e2e::Process saver = e2e::Process::Screensaver(L"/p " + host.Number());
        ASSERT_NE(e2e::WaitForChildOf(host.Window(), saver.Id(), kDeadline), nullptr) << "no preview";
        host.Destroy();
        ASSERT_TRUE(saver.WaitForExit(kDeadline));
    }
    EXPECT_EQ(Loaded(), std::vector<std::wstring>{}) << "after /t, /a and /p";

    // Run mode: the main program started and waited for, and the message
    // when there is none.
    e2e::MainProgramStandIn standIn(0, false);
    ASSERT_TRUE(standIn.InstallInto(L"C:\\Sorvane Planted Main"));
    SeedSetting(L"AppPath", L"C:\\Sorvane Planted Main");
    RunToEnd(L"/s");
    EXPECT_TRUE(standIn.WaitForRecord(kDeadline)) << "the main program was not started";
    SeedSetting(L"AppPath", L"C:\\Sorvane Planted Nowhere");
    {
        e2e::Process saver = e2e::Process::Screensaver(L"/s", kFolder);
        const auto box = e2e::WaitForMessageBox(saver.Id(), kDeadline);
        ASSERT_TRUE(box) << "no message about the missing main program";
        e2e::PressOk(*box);
        ASSERT_TRUE(saver.WaitForExit(kDeadline));
    }
    EXPECT_EQ(Loaded(), std::vector<std::wstring>{}) << "after /s";

    // The settings dialog with usage statistics on, the playlist editor with
    // its open-file dialog, and "Visit...".
    ASSERT_TRUE(e2e::DeleteValue(HKEY_LOCAL_MACHINE, kMakerKey, L"DisableAnalytics"));
    // Its hits go nowhere: the harness's recorder refuses them.
    ASSERT_TRUE(e2e::ExpectRefusedRequests("CONNECT www.google-analytics.com:443"));
    SeedSetting(L"UsePlaylist", L"2: 1");
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\https\\shell\\open\\command", L"",
                              L"\"" + Binary(L"url_recorder.exe") + L"\" \"%1\""));
    Open();
    e2e::Click(Item(EditPlaylist));
    HWND playlist = e2e::WaitForWindow(saver_.Id(), L"#32770", L"Playlist", kDeadline);
    ASSERT_NE(playlist, nullptr) << "no playlist editor";
    e2e::Click(GetDlgItem(playlist, IDC_PLAYLIST_ADD));
    HWND open = e2e::WaitForOpenFileDialog(saver_.Id(), kDeadline);
    ASSERT_NE(open, nullptr) << "no open-file dialog";
    e2e::Click(GetDlgItem(open, IDCANCEL));
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(open); }, kDeadline));
    e2e::Click(GetDlgItem(playlist, IDCANCEL));
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(playlist); }, kDeadline));
    const std::wstring opened = e2e::ArtifactsFolder() + L"\\opened_url.txt";
    DeleteFileW(opened.c_str());
    e2e::Click(Item(Visit));
    EXPECT_TRUE(e2e::WaitUntil([&] { return GetFileAttributesW(opened.c_str()) != INVALID_FILE_ATTRIBUTES; },
                               kDeadline))
        << "Visit opened no address";
    PressAndWaitForExit(Cancel);
    EXPECT_EQ(Stored(L"PlayList"), L"(missing)") << "the editor's Cancel stores nothing";
    EXPECT_EQ(Loaded(), std::vector<std::wstring>{}) << "after /c";
    e2e::RemoveTree(L"C:\\Sorvane Planted Main");
}

} // namespace
} // namespace settings_e2e
