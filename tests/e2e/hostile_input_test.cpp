// Hostile registry contents and command lines: the program neither crashes
// nor hangs, and OK writes exactly the settings, leaving the rest alone.
#include "tests/e2e/settings_dialog_fixture.h"

#include <cstring>

namespace settings_e2e {
namespace {

std::vector<BYTE> Bytes(std::initializer_list<int> values) {
    std::vector<BYTE> bytes;
    for (int v : values) bytes.push_back(static_cast<BYTE>(v));
    return bytes;
}

class HostileInput : public SettingsDialogTest {
protected:
    void SeedRaw(const std::wstring& path, const std::wstring& name, DWORD type, const std::vector<BYTE>& data) {
        ASSERT_TRUE(e2e::SeedValue(HKEY_LOCAL_MACHINE, path, name, type, data)) << testing::PrintToString(name);
    }
    std::optional<e2e::RegistryValue> Raw(const std::wstring& path, const std::wstring& name) const {
        return e2e::ReadValue(HKEY_LOCAL_MACHINE, path, name);
    }
};

TEST_F(HostileInput, ValuesOfEveryKindSizeAndDepthSurviveOkUntouchedOrAsSettingsText) {
    const std::wstring key = kProductKey;
    const std::wstring longName(255, L'N');
    const std::wstring bigText = L"3: " + std::wstring(3000, L'x');           // 6 KiB of data: skipped
    const std::wstring edgeText = L"3: " + std::wstring(2044, L'y');          // 4094 bytes, terminated 4096: read
    std::wstring deepPath = key;
    for (int level = 0; level < 24; ++level) deepPath += L"\\Level" + std::to_wstring(level);
    const std::wstring playList(std::size_t{10} * 1024 * 1024 / sizeof(wchar_t), L'a'); // 10 MiB of one line

    SeedRaw(key, L"Binary", REG_BINARY, e2e::Utf16Bytes(L"2: 7"));
    SeedRaw(key, L"Dword", REG_DWORD, Bytes({0x32, 0x00, 0x3a, 0x00}));
    SeedRaw(key, L"Qword", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    SeedRaw(key, L"Multi", REG_MULTI_SZ, e2e::Utf16Bytes(std::wstring(L"2: 5\0x\0", 7), true));
    SeedRaw(key, L"Expand", REG_EXPAND_SZ, e2e::Utf16Bytes(L"1: %TEMP%"));
    SeedRaw(key, L"None", REG_NONE, {});
    SeedRaw(key, L"OddBytes", REG_SZ, Bytes({'2', 0, ':', 0, ' ', 0, '9'}));
    SeedRaw(key, L"Nuls", REG_SZ, e2e::Utf16Bytes(std::wstring(L"2: 4\0\0\0garbage", 14)));
    SeedRaw(key, longName, REG_SZ, e2e::Utf16Bytes(L"2: 3"));
    SeedRaw(key, L"Big", REG_SZ, e2e::Utf16Bytes(bigText));
    SeedRaw(key, L"Edge", REG_SZ, e2e::Utf16Bytes(edgeText, true));
    SeedRaw(deepPath, L"DeepSetting", REG_SZ, e2e::Utf16Bytes(L"2: 0x10"));
    SeedRaw(key, L"PlayList", REG_SZ, e2e::Utf16Bytes(playList));
    SeedRaw(key, L"Language", REG_SZ, e2e::Utf16Bytes(L"3: de")); // stored without a terminator
    SeedRaw(key, L"MusicVolumePercentage", REG_DWORD, Bytes({40, 0, 0, 0}));

    Open();
    EXPECT_EQ(Text(Cancel), L"Abbrechen") << "the language value without terminator still reads as German";
    EXPECT_EQ(e2e::TrackbarPosition(Item(MusicVolume)), 15) << "a REG_DWORD setting is ignored";
    PressAndWaitForExit(Ok);

    struct Expectation {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data; // without the terminator the system may add
    };
    const Expectation expected[] = {
        // Read as settings text whatever their type, and written back as text.
        {L"Binary", REG_SZ, e2e::Utf16Bytes(L"2: 7")},
        {L"Multi", REG_SZ, e2e::Utf16Bytes(L"2: 5")},
        {L"Nuls", REG_SZ, e2e::Utf16Bytes(L"2: 4")},
        {longName, REG_SZ, e2e::Utf16Bytes(L"2: 3")},
        {L"Edge", REG_SZ, e2e::Utf16Bytes(edgeText)},
        {L"Language", REG_SZ, e2e::Utf16Bytes(L"3: de")},
        {L"MusicVolumePercentage", REG_SZ, e2e::Utf16Bytes(L"2: 15")},
        // Not settings text: left exactly as they were.
        {L"Dword", REG_DWORD, Bytes({0x32, 0x00, 0x3a, 0x00})},
        {L"Qword", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
        {L"Expand", REG_EXPAND_SZ, e2e::Utf16Bytes(L"1: %TEMP%")},
        {L"None", REG_NONE, {}},
        {L"Big", REG_SZ, e2e::Utf16Bytes(bigText)},
        // "2: " and a stray byte: no number, so no setting.
        {L"OddBytes", REG_SZ, Bytes({'2', 0, ':', 0, ' ', 0, '9'})},
    };
    for (const auto& e : expected) {
        auto value = Raw(key, e.name);
        ASSERT_TRUE(value) << testing::PrintToString(e.name.substr(0, 20));
        EXPECT_EQ(value->type, e.type) << testing::PrintToString(e.name.substr(0, 20));
        std::vector<BYTE> data = value->data;
        if (e.type == REG_SZ && data.size() == e.data.size() + 2 && data[data.size() - 1] == 0 &&
            data[data.size() - 2] == 0)
            data.resize(e.data.size());
        EXPECT_TRUE(data == e.data) << testing::PrintToString(e.name.substr(0, 20)) << ": " << data.size()
                                    << " bytes, expected " << e.data.size();
    }
    auto deep = Raw(deepPath, L"DeepSetting");
    ASSERT_TRUE(deep);
    std::wstring deepText = deep->Chars();
    if (!deepText.empty() && deepText.back() == L'\0') deepText.pop_back();
    EXPECT_EQ(deepText, L"2: 16") << "a setting in a deep subkey is read and written back in decimal";
    auto list = Raw(key, L"PlayList");
    ASSERT_TRUE(list);
    // The system may have counted a terminator when the test seeded it.
    EXPECT_LE(list->data.size() - playList.size() * sizeof(wchar_t), sizeof(wchar_t))
        << "the playlist is not the dialog's to write";
    for (const wchar_t* name : {L"HighQualityGraphics", L"HighQualityTextures"})
        EXPECT_EQ(Stored(name), L"2: 0");
}

TEST_F(HostileInput, SubkeyThatCannotBeOpenedLosesNoSettingOnOk) {
    const std::wstring key = kProductKey;
    const struct {
        const wchar_t* name;
        const wchar_t* stored;
        const wchar_t* afterOk;
    } settings[] = {
        // OK always stores 0 for the two without a control.
        {L"HighQualityTextures", L"2: 7", L"2: 0"},
        {L"EnableMultiMonitorMode", L"2: 0", L"2: 0"},
        {L"ShowBlackScreens", L"2: 0", L"2: 0"},
        {L"ShowFPS", L"2: 1", L"2: 1"},
        {L"DisableOnMouseActivate", L"2: 0", L"2: 0"},
        {L"MusicVolumePercentage", L"2: 33", L"2: 33"},
        {L"DisableMusic", L"2: 1", L"2: 1"},
        {L"SoundsVolumePercentage", L"2: 66", L"2: 66"},
        {L"DisableSound", L"2: 1", L"2: 0"}, // the one check box changed
        {L"MonitorAspectRatio", L"2: 2", L"2: 2"},
        {L"UseDesktopRes", L"2: 0", L"2: 0"},
        {L"UsePlaylist", L"2: 1", L"2: 1"},
        {L"HighQualityGraphics", L"2: 7", L"2: 0"},
        {L"FontScaling", L"2: 70", L"2: 70"},
        {L"Antialiasing", L"2: 4", L"2: 4"},
        {L"ShufflePlayList", L"2: 0", L"2: 0"},
    };
    for (const auto& setting : settings)
        SeedSetting(setting.name, setting.stored);
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, key + L"\\Profiles", L"Last", L"2: 1"));
    ASSERT_TRUE(e2e::DenyReads(HKEY_LOCAL_MACHINE, key + L"\\Profiles"));
    HKEY probe = nullptr;
    const LONG opened =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, (key + L"\\Profiles").c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &probe);
    if (opened == ERROR_SUCCESS) RegCloseKey(probe);
    ASSERT_EQ(opened, ERROR_ACCESS_DENIED) << "the system must refuse to open the subkey";

    Open();
    EXPECT_FALSE(Checked(EnableSounds)) << "the stored settings were not read";
    e2e::Click(Item(EnableSounds));
    ASSERT_TRUE(e2e::WaitUntil([&] { return Checked(EnableSounds); }, kDeadline));
    PressAndWaitForExit(Ok);

    for (const auto& setting : settings)
        EXPECT_EQ(Stored(setting.name), setting.afterOk) << testing::PrintToString(std::wstring(setting.name));
}

TEST_F(HostileInput, LongCommandLinesEndCleanly) {
    // The longest command line the system passes: 32,767 characters in all,
    // the quoted program path and a blank included.
    const size_t room = 32767 - (e2e::ScreensaverPath().size() + 3);
    struct Case {
        std::wstring switches;
        const char* what;
        bool showsTheDialog;
    };
    const Case cases[] = {
        {L"/p " + std::wstring(room - 3, L'9'), "preview of a number far beyond any window", false},
        {L"/t" + std::wstring(room - 2, L' '), "exit with trailing blanks", false},
        {L"/a:" + std::wstring(room - 3, L'9'), "password change with a huge number", false},
        {L"/c" + std::wstring(room - 2, L'x'), "configure with letters only", true},
    };
    for (const auto& c : cases) {
        e2e::Process saver = e2e::Process::Screensaver(c.switches);
        ASSERT_TRUE(saver.Started()) << c.what;
        if (c.showsTheDialog) {
            HWND dialog = e2e::WaitForWindow(saver.Id(), L"#32770", nullptr, kDialogDeadline);
            ASSERT_NE(dialog, nullptr) << c.what << ": no settings dialog; its threads:\n" << saver.ThreadBacktraces();
            e2e::Click(e2e::Control(dialog, IDCANCEL));
        }
        ASSERT_TRUE(saver.WaitForExit(kDeadline)) << c.what << " still runs";
        EXPECT_EQ(saver.ExitCode(), 0u) << c.what;
    }

    // An unknown switch letter means the screensaver proper, which finds no
    // main program here and says so.
    e2e::Process saver = e2e::Process::Screensaver(std::wstring(room, L'-'));
    auto box = e2e::WaitForMessageBox(saver.Id(), L"Error!", kDeadline);
    ASSERT_TRUE(box) << "no message for a command line of markers only";
    EXPECT_EQ(box->text, L"Can't find the main file! Please reinstall screensaver.");
    e2e::PressOk(*box);
    ASSERT_TRUE(saver.WaitForExit(kDeadline));
    EXPECT_EQ(saver.ExitCode(), 0u);
}

TEST_F(HostileInput, HugeOwnerNumberStillShowsOrEndsTheDialogCleanly) {
    saver_ = e2e::Process::Screensaver(L"/c:" + std::wstring(32767 - (e2e::ScreensaverPath().size() + 6), L'7'));
    ASSERT_TRUE(saver_.Started());
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            dialog_ = e2e::WaitForWindow(saver_.Id(), L"#32770", nullptr, 0);
            return dialog_ != nullptr || !saver_.Running();
        },
        kDialogDeadline));
    if (dialog_) PressAndWaitForExit(Cancel);
    ASSERT_TRUE(saver_.WaitForExit(kDeadline));
    EXPECT_EQ(saver_.ExitCode(), 0u);
    EXPECT_FALSE(e2e::KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
}

} // namespace
} // namespace settings_e2e
