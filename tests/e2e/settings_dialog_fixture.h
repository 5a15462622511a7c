// Shared set-up for the settings dialog scenarios: a clean registry, the
// dialog opened with /c, its controls by id, the product key's values.
#pragma once

#include "tests/e2e/driver/message_box.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"

#include <gtest/gtest.h>

#include <string>

namespace settings_e2e {

constexpr const wchar_t* kProductKey = L"Software\\Quenvale\\Sorvane 3D Screensaver";
constexpr const wchar_t* kMakerKey = L"Software\\Quenvale";
constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kRunValue = L"QuenvaleAnimatedWallpaper";
constexpr const wchar_t* kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sorvane 3D Screensaver_is1";
constexpr DWORD kDeadline = 15000;
// The dialog may wait up to 15 s for a hardware probe that does not answer
// before it shows: a test waits longer than that for it.
constexpr DWORD kDialogDeadline = 30000;

enum Control {
    MonitorList = 1002, BlankScreens = 1013, ExitOnMouse = 1023, Antialiasing = 1068, SampleList = 1069,
    AntialiasingLabel = 1070, RunAtStartup = 1079, EnableMusic = 1032, MusicVolume = 1044, MusicLabel = 1045,
    PlayMyMusic = 1078, EditPlaylist = 4, Visit = 6, RestoreDefaults = 3, Ok = 1, Cancel = 2, WebSiteText = 1027,
    EnableSounds = 1022, SoundVolume = 1046, SoundLabel = 1047,
};

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) ASSERT_TRUE(e2e::DeleteKeyTree(root, kMakerKey));
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, e2e::View32(kMakerKey)));
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey));
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, e2e::View32(kUninstallKey)));
        e2e::DeleteValue(HKEY_CURRENT_USER, kRunKey, kRunValue);
        // Analytics stays off unless a test asks for it: nothing here may
        // wait for, or reach, the network.
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kMakerKey, L"DisableAnalytics", L"1"));
    }
    void TearDown() override {
        if (saver_.Running()) {
            if (dialog_) e2e::Close(dialog_);
            saver_.WaitForExit(kDeadline);
        }
    }

    void SeedSetting(const wchar_t* name, const std::wstring& text) {
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, name, text));
    }
    std::wstring Stored(const wchar_t* name) const {
        auto value = e2e::ReadValue(HKEY_LOCAL_MACHINE, kProductKey, name);
        if (!value) return L"(missing)";
        if (value->type != REG_SZ) return L"(type " + std::to_wstring(value->type) + L")";
        std::wstring text = value->Chars();
        if (!text.empty() && text.back() == L'\0') text.pop_back();
        return text;
    }

    // Starts /c and waits until the dialog shows; fails the test otherwise.
    void Open(const std::wstring& switches = L"/c") {
        saver_ = e2e::Process::Screensaver(switches);
        ASSERT_TRUE(saver_.Started());
        dialog_ = e2e::WaitForWindow(saver_.Id(), L"#32770", nullptr, kDialogDeadline);
        ASSERT_NE(dialog_, nullptr) << "no settings dialog appeared; its threads:\n" << saver_.ThreadBacktraces();
    }
    HWND Item(int id) const { return e2e::Control(dialog_, id); }
    bool Checked(int id) const { return e2e::IsChecked(Item(id)); }
    bool Enabled(int id) const { return e2e::IsEnabled(Item(id)); }
    std::wstring Text(int id) const { return e2e::WindowText(Item(id)); }

    // Presses a button that ends the dialog and waits for the process to end.
    void PressAndWaitForExit(int id) {
        e2e::Click(Item(id));
        ASSERT_TRUE(saver_.WaitForExit(kDeadline)) << "the dialog did not end";
        EXPECT_EQ(saver_.ExitCode(), 0u);
    }

    e2e::Process saver_;
    HWND dialog_ = nullptr;
};

} // namespace settings_e2e
