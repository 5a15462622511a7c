// The settings dialog: controls filled from the registry, OK writes every
// setting, Cancel and closing write nothing.
#include "tests/e2e/settings_dialog_fixture.h"

#include <algorithm>

namespace settings_e2e {
namespace {

const wchar_t* const kSixteenSettings[] = {
    L"HighQualityTextures", L"EnableMultiMonitorMode", L"ShowBlackScreens", L"ShowFPS",
    L"DisableOnMouseActivate", L"MusicVolumePercentage", L"DisableMusic", L"SoundsVolumePercentage",
    L"DisableSound", L"MonitorAspectRatio", L"UseDesktopRes", L"UsePlaylist",
    L"HighQualityGraphics", L"FontScaling", L"Antialiasing", L"ShufflePlayList",
};

TEST_F(SettingsDialogTest, FreshSystemShowsTheDefaults) {
    Open();
    EXPECT_EQ(e2e::WindowText(dialog_), L"Sorvane 3D Screensaver 1.0 Configuration");
    EXPECT_FALSE(Checked(ExitOnMouse));
    EXPECT_TRUE(Checked(EnableMusic));
    EXPECT_EQ(e2e::TrackbarPosition(Item(MusicVolume)), 15);
    EXPECT_EQ(Text(MusicLabel), L"Music volume: 15%");
    EXPECT_TRUE(Checked(EnableSounds));
    EXPECT_EQ(e2e::TrackbarPosition(Item(SoundVolume)), 100);
    EXPECT_EQ(Text(SoundLabel), L"Sound volume: 100%");
    EXPECT_FALSE(Checked(PlayMyMusic));
    EXPECT_FALSE(Enabled(EditPlaylist));
    // No install folder and no start-up value: both texts are empty, so equal.
    EXPECT_TRUE(Checked(RunAtStartup));
    EXPECT_EQ(Enabled(SampleList), Checked(Antialiasing));
    EXPECT_EQ(Enabled(AntialiasingLabel), Checked(Antialiasing));
    // Under Wine: one adapter, one monitor; the list shows it, disabled.
    EXPECT_EQ(e2e::ComboItems(Item(MonitorList)).size(), 1u);
    EXPECT_EQ(e2e::ComboSelection(Item(MonitorList)), 0);
    EXPECT_FALSE(Enabled(MonitorList));
    EXPECT_FALSE(Enabled(BlankScreens));
    EXPECT_TRUE(Checked(BlankScreens));
    // Analytics is off here: none of its libraries is loaded.
    const auto modules = saver_.LoadedModules();
    ASSERT_FALSE(modules.empty());
    for (const wchar_t* analyticsOnly : {L"wininet.dll", L"urlmon.dll", L"winmm.dll"})
        EXPECT_EQ(std::count(modules.begin(), modules.end(), analyticsOnly), 0) << testing::PrintToString(analyticsOnly);
    PressAndWaitForExit(Cancel);
}

TEST_F(SettingsDialogTest, StoredVolumeAboveTheRangeShowsInTheLabelAndOkStoresTheClampedPosition) {
    SeedSetting(L"MusicVolumePercentage", L"2: 150");
    Open();
    EXPECT_EQ(e2e::TrackbarPosition(Item(MusicVolume)), 100);
    EXPECT_EQ(Text(MusicLabel), L"Music volume: 150%");
    PressAndWaitForExit(Ok);
    EXPECT_EQ(Stored(L"MusicVolumePercentage"), L"2: 100");
}

TEST_F(SettingsDialogTest, DisabledMusicDisablesItsControlsUntilEnabled) {
    struct Case {
        const wchar_t* usePlaylist;
        bool editEnabledAfterwards;
    };
    for (const Case& c : {Case{L"2: 1", true}, Case{L"2: 0", false}}) {
        SeedSetting(L"DisableMusic", L"2: 1");
        SeedSetting(L"UsePlaylist", c.usePlaylist);
        Open();
        for (int id : {MusicVolume, MusicLabel, PlayMyMusic, EditPlaylist})
            EXPECT_FALSE(Enabled(id)) << "control " << id << " with UsePlaylist " << testing::PrintToString(std::wstring(c.usePlaylist));
        EXPECT_FALSE(Checked(EnableMusic));
        e2e::Click(Item(EnableMusic));
        ASSERT_TRUE(e2e::WaitUntil([&] { return Enabled(MusicVolume); }, kDeadline));
        e2e::WaitForHandler(dialog_);
        EXPECT_TRUE(Enabled(MusicLabel));
        EXPECT_TRUE(Enabled(PlayMyMusic));
        EXPECT_EQ(Enabled(EditPlaylist), c.editEnabledAfterwards);
        PressAndWaitForExit(Cancel);
    }
}

TEST_F(SettingsDialogTest, PlayMyMusicTogglesEditPlaylist) {
    Open();
    EXPECT_FALSE(Enabled(EditPlaylist));
    e2e::Click(Item(PlayMyMusic));
    EXPECT_TRUE(e2e::WaitUntil([&] { return Enabled(EditPlaylist); }, kDeadline));
    e2e::Click(Item(PlayMyMusic));
    EXPECT_TRUE(e2e::WaitUntil([&] { return !Enabled(EditPlaylist); }, kDeadline));
    PressAndWaitForExit(Cancel);
}

TEST_F(SettingsDialogTest, StartupEntryIsCheckedOnlyWhenItEqualsTheCommand) {
    const std::wstring command = L"\"C:\\Prog\\S\\Sorvane 3D Screensaver.exe\" /w";
    struct Case {
        std::wstring stored;
        bool checked;
    };
    const Case cases[] = {
        {command, true},
        {L"\"C:\\prog\\s\\Sorvane 3D Screensaver.exe\" /w", false}, // case matters
        {command + L" ", false},
        {L"", false},
    };
    for (const auto& c : cases) {
        SeedSetting(L"AppPath", L"C:\\Prog\\S");
        ASSERT_TRUE(e2e::SeedText(HKEY_CURRENT_USER, kRunKey, kRunValue, c.stored));
        Open();
        EXPECT_EQ(Checked(RunAtStartup), c.checked) << "stored " << testing::PrintToString(c.stored);
        PressAndWaitForExit(Cancel);
    }
}

TEST_F(SettingsDialogTest, OkWritesEverySettingAsTextAndTheStartupEntry) {
    SeedSetting(L"AppPath", L"C:\\Prog\\S\\");
    SeedSetting(L"HighQualityGraphics", L"2: 1");
    SeedSetting(L"HighQualityTextures", L"2: 1");
    SeedSetting(L"Language", L"3: en");
    SeedSetting(L"PlayList", L"C:\\music\\a.mp3\n");
    Open();
    e2e::MoveTrackbar(Item(SoundVolume), 42);
    ASSERT_TRUE(e2e::WaitUntil([&] { return Text(SoundLabel) == L"Sound volume: 42%"; }, kDeadline));
    if (!Checked(RunAtStartup)) e2e::Click(Item(RunAtStartup));
    ASSERT_TRUE(e2e::WaitUntil([&] { return Checked(RunAtStartup); }, kDeadline));
    PressAndWaitForExit(Ok);

    for (const wchar_t* name : kSixteenSettings) {
        const std::wstring stored = Stored(name);
        EXPECT_EQ(stored.rfind(L"2: ", 0), 0u) << testing::PrintToString(std::wstring(name)) << " is "
                                               << testing::PrintToString(stored);
    }
    EXPECT_EQ(Stored(L"HighQualityGraphics"), L"2: 0");
    EXPECT_EQ(Stored(L"HighQualityTextures"), L"2: 0");
    EXPECT_EQ(Stored(L"SoundsVolumePercentage"), L"2: 42");
    EXPECT_EQ(Stored(L"MusicVolumePercentage"), L"2: 15");
    EXPECT_EQ(Stored(L"ShufflePlayList"), L"2: 1");
    EXPECT_EQ(Stored(L"Language"), L"3: en");
    EXPECT_EQ(Stored(L"PlayList"), L"C:\\music\\a.mp3\n");
    EXPECT_EQ(Stored(L"AppPath"), L"C:\\Prog\\S\\");
    auto entry = e2e::ReadValue(HKEY_CURRENT_USER, kRunKey, kRunValue);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->type, static_cast<DWORD>(REG_SZ));
    std::wstring text = entry->Chars();
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    EXPECT_EQ(text, L"\"C:\\Prog\\S\\\\Sorvane 3D Screensaver.exe\" /w");
}

TEST_F(SettingsDialogTest, FolderOfThe32BitInstallerMakesTheStartupCommand) {
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, e2e::View32(kUninstallKey), L"InstallLocation", L"C:\\Prog\\S\\"));
    Open();
    EXPECT_FALSE(Checked(RunAtStartup)) << "there is a command, and no start-up entry holds it";
    e2e::Click(Item(RunAtStartup));
    ASSERT_TRUE(e2e::WaitUntil([&] { return Checked(RunAtStartup); }, kDeadline));
    PressAndWaitForExit(Ok);
    auto entry = e2e::ReadValue(HKEY_CURRENT_USER, kRunKey, kRunValue);
    ASSERT_TRUE(entry);
    std::wstring text = entry->Chars();
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    EXPECT_EQ(text, L"\"C:\\Prog\\S\\\\Sorvane 3D Screensaver.exe\" /w");
}

TEST_F(SettingsDialogTest, UncheckedStartupEntryIsWrittenEmpty) {
    SeedSetting(L"AppPath", L"C:\\Prog\\S");
    ASSERT_TRUE(e2e::SeedText(HKEY_CURRENT_USER, kRunKey, kRunValue, L"\"C:\\Prog\\S\\Sorvane 3D Screensaver.exe\" /w"));
    Open();
    ASSERT_TRUE(Checked(RunAtStartup));
    e2e::Click(Item(RunAtStartup));
    ASSERT_TRUE(e2e::WaitUntil([&] { return !Checked(RunAtStartup); }, kDeadline));
    PressAndWaitForExit(Ok);
    auto entry = e2e::ReadValue(HKEY_CURRENT_USER, kRunKey, kRunValue);
    ASSERT_TRUE(entry) << "the start-up value must stay, empty";
    EXPECT_EQ(entry->type, static_cast<DWORD>(REG_SZ));
    EXPECT_TRUE(entry->data.empty());
}

TEST_F(SettingsDialogTest, CancelAndClosingWriteNothing) {
    for (bool close : {false, true}) {
        Open();
        e2e::MoveTrackbar(Item(MusicVolume), 77);
        e2e::Click(Item(ExitOnMouse));
        ASSERT_TRUE(e2e::WaitUntil([&] { return Checked(ExitOnMouse); }, kDeadline));
        if (close) {
            e2e::Close(dialog_);
            ASSERT_TRUE(saver_.WaitForExit(kDeadline));
        } else {
            PressAndWaitForExit(Cancel);
        }
        EXPECT_FALSE(e2e::KeyExists(HKEY_LOCAL_MACHINE, kProductKey)) << (close ? "close" : "Cancel");
        EXPECT_FALSE(e2e::ReadValue(HKEY_CURRENT_USER, kRunKey, kRunValue)) << (close ? "close" : "Cancel");
    }
}

TEST_F(SettingsDialogTest, OnlyMusicVolumeStoredKeepsEveryOtherDefaultAndOkWritesAllSixteen) {
    SeedSetting(L"MusicVolumePercentage", L"2: 40");
    Open();
    EXPECT_EQ(e2e::TrackbarPosition(Item(MusicVolume)), 40);
    EXPECT_EQ(e2e::TrackbarPosition(Item(SoundVolume)), 100);
    PressAndWaitForExit(Ok);
    for (const wchar_t* name : kSixteenSettings)
        EXPECT_NE(Stored(name), L"(missing)") << testing::PrintToString(std::wstring(name));
    EXPECT_EQ(Stored(L"MusicVolumePercentage"), L"2: 40");
    EXPECT_EQ(Stored(L"DisableOnMouseActivate"), L"2: 1");
    EXPECT_EQ(Stored(L"FontScaling"), L"2: 50");
    EXPECT_EQ(Stored(L"MonitorAspectRatio"), L"2: 4");
    EXPECT_EQ(Stored(L"CurMonitor"), L"(missing)");
}

TEST_F(SettingsDialogTest, AntialiasingCheckedWithItsListStoresTheChosenCount) {
    SeedSetting(L"Antialiasing", L"2: 4");
    Open();
    EXPECT_TRUE(Checked(Antialiasing));
    const auto items = e2e::ComboItems(Item(SampleList));
    // Direct3D 11 under Wine on Xvfb offers 4 samples.
    ASSERT_EQ(items, std::vector<std::wstring>{L"4x"});
    EXPECT_EQ(e2e::ComboSelection(Item(SampleList)), 0);
    PressAndWaitForExit(Ok);
    EXPECT_EQ(Stored(L"Antialiasing"), L"2: 4");
}

} // namespace
} // namespace settings_e2e

namespace settings_e2e {
namespace {

TEST_F(SettingsDialogTest, KeyThatRefusesWritesShowsTheErrorOnceAndTheDialogStillCloses) {
    SeedSetting(L"MusicVolumePercentage", L"2: 40");
    ASSERT_TRUE(e2e::DenyWrites(HKEY_LOCAL_MACHINE, kProductKey));
    Open();
    e2e::MoveTrackbar(Item(MusicVolume), 90);
    e2e::Click(Item(Ok));
    auto box = e2e::WaitForMessageBox(saver_.Id(), L"Error!", kDeadline);
    ASSERT_TRUE(box) << "no error message";
    EXPECT_EQ(box->text, L"Error writing to the system registry. Please NOTE: You need to have sufficient "
                         L"administrative rights to run this program successfully.");
    EXPECT_TRUE(box->hasIcon);
    e2e::PressOk(*box);
    ASSERT_TRUE(saver_.WaitForExit(kDeadline)) << "the dialog did not close after the message";
    EXPECT_EQ(saver_.ExitCode(), 0u);
    EXPECT_EQ(Stored(L"MusicVolumePercentage"), L"2: 40");
    // The start-up entry lives elsewhere and was written before the settings.
    EXPECT_TRUE(e2e::ReadValue(HKEY_CURRENT_USER, kRunKey, kRunValue));
}

} // namespace
} // namespace settings_e2e
