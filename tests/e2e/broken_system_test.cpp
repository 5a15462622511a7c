// The shipped program on a system whose own libraries fail it: a Direct3D 11
// driver that never answers, and a common-dialog library without the
// open-file dialog, each put in the prefix's system folder, where the program
// loads them from (e2e.broken_system, whose load orders prefer them).
#include "tests/e2e/driver/debug_output.h"
#include "tests/e2e/settings_dialog_fixture.h"

#include <cwchar>

namespace settings_e2e {
namespace {

// A library of the system folder replaced by one of ours while it lives. The
// system's file is renamed, never written: in the test's prefix it is a link
// to the template prefix's.
class SystemStandIn {
  public:
    SystemStandIn(const wchar_t* systemName, const wchar_t* standIn) {
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return;
        path_ = std::wstring(folder, length) + L"\\" + systemName;
        kept_ = path_ + L".system";
        if (GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES &&
            !MoveFileExW(path_.c_str(), kept_.c_str(), MOVEFILE_REPLACE_EXISTING))
            return;
        installed_ = CopyFileW((e2e::TestBinFolder() + L"\\" + standIn).c_str(), path_.c_str(), FALSE) != FALSE;
    }
    ~SystemStandIn() {
        if (path_.empty()) return;
        DeleteFileW(path_.c_str());
        MoveFileExW(kept_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    SystemStandIn(const SystemStandIn&) = delete;
    SystemStandIn& operator=(const SystemStandIn&) = delete;
    bool Installed() const { return installed_; }

  private:
    std::wstring path_, kept_;
    bool installed_ = false;
};

class BrokenSystem : public SettingsDialogTest {
  protected:
    void SetUp() override {
        wchar_t overrides[2048] = {};
        GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 2048);
        if (!wcsstr(overrides, L"d3d11,comdlg32=n")) GTEST_SKIP() << "runs with the harness's load orders (e2e.broken_system)";
        SettingsDialogTest::SetUp();
        // "Visit..." opens our browser stand-in, and "Edit Playlist..." is enabled.
        const std::wstring recorder = e2e::TestBinFolder() + L"\\url_recorder.exe";
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\https\\shell\\open\\command", L"",
                                  L"\"" + recorder + L"\" \"%1\""));
        DeleteFileW(OpenedUrlFile().c_str());
        SeedSetting(L"UsePlaylist", L"2: 1");
        SeedSetting(L"MusicVolumePercentage", L"2: 60");
    }
    static std::wstring OpenedUrlFile() { return e2e::ArtifactsFolder() + L"\\opened_url.txt"; }
    HWND PlaylistEditor() const { return e2e::WaitForWindow(saver_.Id(), L"#32770", L"Playlist", 0); }
};

TEST_F(BrokenSystem, Direct3D11DriverThatNeverAnswersLeavesEveryButtonWorkingAndTheProcessEnding) {
    SystemStandIn stuck(L"d3d11.dll", L"stuck_d3d11.dll");
    ASSERT_TRUE(stuck.Installed());
    for (const int closeWith : {static_cast<int>(Ok), 0}) {
        SCOPED_TRACE(closeWith ? "closed with OK" : "closed with the close box");
        Open();
        EXPECT_EQ(e2e::ComboItems(Item(SampleList)).size(), 0u) << "the stuck driver answered";
        EXPECT_EQ(e2e::ComboItems(Item(MonitorList)).size(), 1u) << "Direct3D 9 still lists the monitor";

        e2e::Click(Item(RestoreDefaults));
        EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::TrackbarPosition(Item(MusicVolume)) == 15; }, kDeadline))
            << "Restore Defaults did not restore the music volume";

        e2e::Click(Item(EditPlaylist));
        const HWND playlist = e2e::WaitForWindow(saver_.Id(), L"#32770", L"Playlist", kDeadline);
        ASSERT_NE(playlist, nullptr) << "Edit Playlist opened nothing";
        e2e::Click(GetDlgItem(playlist, IDCANCEL));
        EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(playlist); }, kDeadline)) << "the playlist stays open";

        e2e::Click(Item(Visit));
        EXPECT_TRUE(e2e::WaitUntil([] { return GetFileAttributesW(OpenedUrlFile().c_str()) != INVALID_FILE_ATTRIBUTES; },
                                   kDeadline))
            << "Visit opened no address";
        DeleteFileW(OpenedUrlFile().c_str());

        if (closeWith) {
            PressAndWaitForExit(closeWith);
            EXPECT_EQ(Stored(L"MusicVolumePercentage"), L"2: 15") << "OK stores the restored default";
        } else {
            e2e::Close(dialog_);
            ASSERT_TRUE(saver_.WaitForExit(kDeadline)) << "the process did not end";
            EXPECT_EQ(saver_.ExitCode(), 0u);
        }
        SeedSetting(L"MusicVolumePercentage", L"2: 60");
    }
}

TEST_F(BrokenSystem, OpenFileDialogThatCannotBeHadIsNamedAndTheSettingsStayEditable) {
    SystemStandIn lacking(L"comdlg32.dll", L"comdlg32_without_open_dialog.dll");
    ASSERT_TRUE(lacking.Installed());
    e2e::DebugOutputMonitor debugOutput;
    ASSERT_TRUE(debugOutput.Listening());
    Open();
    e2e::MoveTrackbar(Item(MusicVolume), 40);
    e2e::Click(Item(EditPlaylist));
    EXPECT_TRUE(debugOutput.WaitFor(saver_.Id(), "cannot load GetOpenFileNameW from comdlg32.dll", kDeadline))
        << "nothing names what is missing";
    EXPECT_EQ(PlaylistEditor(), nullptr) << "the playlist editor opened without its file dialog";
    EXPECT_TRUE(saver_.Running()) << "the process ended in the middle of an edit";
    PressAndWaitForExit(Ok);
    EXPECT_EQ(Stored(L"MusicVolumePercentage"), L"2: 40") << "the edit made before was lost";
}

} // namespace
} // namespace settings_e2e
