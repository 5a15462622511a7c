// The main program's start: its command line, its test tuning, and the
// settings read from the product key as the settings dialog reads them.
#include "main_program/app/command_line.h"
#include "main_program/app/program_settings.h"
#include "main_program/app/test_tuning.h"
#include "platform/registry_access.h"
#include "tests/registry/registry_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using main_program::ParseProgramMode;
using main_program::ProgramMode;
using main_program::ProgramSettings;

TEST(MainProgramCommandLine, NoSwitchOrAnUnknownOneRunsTheScreensaver) {
    const struct {
        const wchar_t* line;
        ProgramMode mode;
    } cases[] = {
        {L"\"C:\\Program Files\\Sorvane 3D Screensaver\\Sorvane 3D Screensaver.exe\"", ProgramMode::Screensaver},
        {L"\"C:\\P\\Sorvane 3D Screensaver.exe\" /w", ProgramMode::Wallpaper},
        {L"\"C:\\P\\Sorvane 3D Screensaver.exe\"   /W  ", ProgramMode::Wallpaper},
        {L"C:\\P\\main.exe -w", ProgramMode::Wallpaper},
        {L"\"C:\\P\\Sorvane 3D Screensaver.exe\" /stop", ProgramMode::StopWallpaper},
        {L"\"C:\\P\\Sorvane 3D Screensaver.exe\" \"/STOP\"", ProgramMode::StopWallpaper},
        {L"\"C:\\P\\Sorvane 3D Screensaver.exe\" /s", ProgramMode::Screensaver},
        {L"\"C:\\P\\Sorvane 3D Screensaver.exe\" /wallpaper", ProgramMode::Screensaver},
        {L"\"C:\\P\\Sorvane 3D Screensaver.exe\" w", ProgramMode::Screensaver},
        {L"\"C:\\P\\Sorvane 3D Screensaver.exe\" /", ProgramMode::Screensaver},
        {L"\"C:\\P /w\\main.exe\"", ProgramMode::Screensaver}, // the switch inside the quoted path is the path's
        {L"\"unterminated /w", ProgramMode::Screensaver},
        {L"", ProgramMode::Screensaver},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseProgramMode(c.line), c.mode) << testing::PrintToString(std::wstring(c.line));
}

TEST(MainProgramTestTuning, TakesPositiveWholeNumbersOnly) {
    std::map<std::string, std::string> environment = {{"SORVANE_TEST_MAX_RENDER", "160"},
                                                      {"SORVANE_TEST_FPS", "5"},
                                                      {"SORVANE_TEST_LOSE_DEVICE", "-3"},
                                                      {"SORVANE_TEST_STALL", "12x"},
                                                      {"SORVANE_TEST_PLAIN_D3D9", "1"}};
    auto lookup = [&](const char* name) { return environment[name]; };
    main_program::TestTuning tuning = main_program::ParseTestTuning(lookup);
    EXPECT_EQ(tuning.maxRenderSide, 160u);
    EXPECT_EQ(tuning.frameRateCap, 5.0);
    EXPECT_EQ(tuning.loseDeviceAtFrame, 0u);
    EXPECT_EQ(tuning.stallAtFrame, 0u);
    EXPECT_TRUE(tuning.plainDirect3D9);
    environment.clear();
    tuning = main_program::ParseTestTuning(lookup);
    EXPECT_EQ(tuning.maxRenderSide, 0u);
    EXPECT_EQ(tuning.frameRateCap, 0.0);
    EXPECT_FALSE(tuning.plainDirect3D9);
}

class MainProgramSettings : public RegistryTest {
protected:
    void Store(const wchar_t* name, const std::wstring& text) { SeedText(HKEY_LOCAL_MACHINE, kProductKey, name, text); }
};

// One stored value each, the rest defaults: what the program makes of it.
TEST_F(MainProgramSettings, ReadsEachValueAsTheDialogDoesAndHoldsItToItsRange) {
    const ProgramSettings defaults;
    struct Case {
        const wchar_t* name;
        const wchar_t* stored; // the REG_SZ text
        int ProgramSettings::*number;
        bool ProgramSettings::*flag;
        int expected;
    };
    const Case cases[] = {
        {L"MusicVolumePercentage", L"2: 40", &ProgramSettings::musicVolume, nullptr, 40},
        {L"MusicVolumePercentage", L"2: 250", &ProgramSettings::musicVolume, nullptr, 100},
        {L"MusicVolumePercentage", L"2: -7", &ProgramSettings::musicVolume, nullptr, 0},
        {L"MusicVolumePercentage", L"3: loud", &ProgramSettings::musicVolume, nullptr, 0}, // another kind: 0
        {L"MusicVolumePercentage", L"1: 40.5", &ProgramSettings::musicVolume, nullptr, 0},
        {L"MusicVolumePercentage", L"garbage", &ProgramSettings::musicVolume, nullptr, 15}, // not the tree's form: ignored
        {L"SoundsVolumePercentage", L"2: 101", &ProgramSettings::soundsVolume, nullptr, 100},
        {L"MonitorAspectRatio", L"2: 2", &ProgramSettings::monitorAspectRatio, nullptr, 2},
        {L"MonitorAspectRatio", L"2: 0", &ProgramSettings::monitorAspectRatio, nullptr, 0},
        {L"MonitorAspectRatio", L"2: 5", &ProgramSettings::monitorAspectRatio, nullptr, 4},
        {L"MonitorAspectRatio", L"2: -1", &ProgramSettings::monitorAspectRatio, nullptr, 4},
        {L"FontScaling", L"2: 100", &ProgramSettings::fontScaling, nullptr, 100},
        {L"FontScaling", L"2: 0", &ProgramSettings::fontScaling, nullptr, main_program::kFontScalingMin},
        {L"FontScaling", L"2: 100000", &ProgramSettings::fontScaling, nullptr, main_program::kFontScalingMax},
        {L"FontScaling", L"3: big", &ProgramSettings::fontScaling, nullptr, main_program::kFontScalingMin},
        {L"CurMonitor", L"2: 3", &ProgramSettings::curMonitor, nullptr, 3},
        {L"CurMonitor", L"2: -2", &ProgramSettings::curMonitor, nullptr, -2},
        {L"Antialiasing", L"2: 8", &ProgramSettings::antialiasing, nullptr, 8},
        {L"Antialiasing", L"2: -1", &ProgramSettings::antialiasing, nullptr, -1},
        {L"EnableMultiMonitorMode", L"2: 0", nullptr, &ProgramSettings::multiMonitor, 0},
        {L"EnableMultiMonitorMode", L"2: 7", nullptr, &ProgramSettings::multiMonitor, 1}, // a switch: non-zero is on
        {L"EnableMultiMonitorMode", L"3: 1", nullptr, &ProgramSettings::multiMonitor, 0},
        {L"ShowBlackScreens", L"2: 0", nullptr, &ProgramSettings::showBlackScreens, 0},
        {L"DisableOnMouseActivate", L"2: 0", nullptr, &ProgramSettings::disableOnMouseActivate, 0},
        {L"DisableOnMouseActivate", L"2: -1", nullptr, &ProgramSettings::disableOnMouseActivate, 1},
        {L"DisableMusic", L"2: 1", nullptr, &ProgramSettings::musicEnabled, 0},
        {L"DisableSound", L"2: 2", nullptr, &ProgramSettings::soundsEnabled, 0},
        {L"UseDesktopRes", L"2: 0", nullptr, &ProgramSettings::useDesktopResolution, 0},
        {L"ShowFPS", L"2: 1", nullptr, &ProgramSettings::showFps, 1},
        {L"HighQualityGraphics", L"2: 1", nullptr, &ProgramSettings::highQualityGraphics, 1},
        {L"HighQualityTextures", L"2: 3", nullptr, &ProgramSettings::highQualityTextures, 1},
        {L"UsePlaylist", L"2: 1", nullptr, &ProgramSettings::usePlaylist, 1},
        {L"ShufflePlayList", L"2: 0", nullptr, &ProgramSettings::shufflePlaylist, 0},
    };
    for (const Case& c : cases) {
        Store(c.name, c.stored);
        const ProgramSettings read = main_program::ReadSettingsAtStart().settings;
        const int got = c.number ? read.*(c.number) : static_cast<int>(read.*(c.flag));
        EXPECT_EQ(got, c.expected) << testing::PrintToString(std::wstring(c.name)) << " stored as "
                                   << testing::PrintToString(std::wstring(c.stored));
        // Every other setting keeps its default.
        if (c.number != &ProgramSettings::musicVolume) {
            EXPECT_EQ(read.musicVolume, defaults.musicVolume);
        }
        if (c.flag != &ProgramSettings::multiMonitor) {
            EXPECT_EQ(read.multiMonitor, defaults.multiMonitor);
        }
        // A text not in the settings' form is ignored: the default again.
        Store(c.name, L"not a setting");
    }
}

TEST_F(MainProgramSettings, MeasuresTheHardwareOnlyForTheHardwareSettingsTheKeyLacks) {
    // Only the antialiasing is stored: textures and graphics follow the
    // measured machine, antialiasing stays as stored whatever it measures.
    Store(L"Antialiasing", L"2: 0");
    main_program::SettingsAtStart start = main_program::ReadSettingsAtStart();
    EXPECT_TRUE(start.missing.textures);
    EXPECT_TRUE(start.missing.graphics);
    EXPECT_FALSE(start.missing.antialiasing);
    EXPECT_FALSE(start.settings.highQualityTextures); // 0 until measured
    EXPECT_FALSE(start.settings.highQualityGraphics);
    const HardwareFacts strong{3000u << 20, 3500, 1100}; // qualifies for all three rules
    main_program::ApplyHardwareDefaults(start.settings, start.missing, strong);
    EXPECT_TRUE(start.settings.highQualityTextures);
    EXPECT_TRUE(start.settings.highQualityGraphics);
    EXPECT_EQ(start.settings.antialiasing, 0);
}

TEST_F(MainProgramSettings, OnAFreshSystemMeasuresAllThreeHardwareSettings) {
    const HardwareFacts strong{3000u << 20, 3500, 1100};
    main_program::SettingsAtStart start = main_program::ReadSettingsAtStart();
    EXPECT_TRUE(start.missing.Any());
    main_program::ApplyHardwareDefaults(start.settings, start.missing, strong);
    EXPECT_EQ(start.settings.antialiasing, 1); // the default is the "on" flag, not a count
    const HardwareFacts weak{400u << 20, 3500, 1100};
    start = main_program::ReadSettingsAtStart();
    main_program::ApplyHardwareDefaults(start.settings, start.missing, weak);
    EXPECT_FALSE(start.settings.highQualityTextures);
    EXPECT_FALSE(start.settings.highQualityGraphics);
}

TEST_F(MainProgramSettings, MeasuresNothingWhenAllThreeHardwareSettingsAreStored) {
    // In any of the tree's kinds: the dialog reads them, so they are there.
    Store(L"Antialiasing", L"3: x");
    Store(L"HighQualityGraphics", L"2: 0");
    Store(L"HighQualityTextures", L"1: 1.0");
    EXPECT_FALSE(main_program::ReadSettingsAtStart().missing.Any());
}

} // namespace
