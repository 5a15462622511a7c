// The settings dialog run for real in this process over hardware probes that
// fail, never answer or answer late: it still opens, every button works and
// the dialog ends, a late answer fills its list, and the hardware is measured
// once at most, for "Restore Defaults" only when the start did not need it.
#include "hardware/hardware_probe.h"
#include "settings/dialogs/dialog_probes.h"
#include "settings/dialogs/settings_dialog_win.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"
#include "tests/wine/screensaver_resources.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <objbase.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr const wchar_t* kProductKey = L"Software\\Quenvale\\Sorvane 3D Screensaver";
constexpr DWORD kWait = 30000;
enum { RestoreDefaults = 3, MonitorList = 1002, Antialiasing = 1068, SampleList = 1069, EnableSounds = 1022 };
// Short bounds: the dialogs here wait for probes that never answer.
constexpr DialogProbes::Bounds kShortBounds{std::chrono::milliseconds(300), std::chrono::milliseconds(600)};

// A gate that probes wait at; once opened it stays open. Probes live for the
// whole test program, as the threads that wait in them may.
class Gate {
  public:
    void Wait() const { WaitForSingleObject(event_, INFINITE); }
    void Open() const { SetEvent(event_); }
    void Close() const { ResetEvent(event_); }

  private:
    HANDLE event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

class GatedDisplay final : public DisplayProbe {
  public:
    explicit GatedDisplay(bool answers) : answers_(answers) {}
    bool EnumerateAdapters(AdapterEnumeration& found, const DeviceModeApproval&) override {
        gate.Wait();
        found.adapterCount = found.monitorCount = 0;
        return false;
    }
    std::vector<int> SupportedSampleCounts() override {
        gate.Wait();
        return answers_ ? std::vector<int>{2, 4} : std::vector<int>{};
    }
    Gate gate;

  private:
    bool answers_;
};

// A machine that qualifies for every hardware default, measured behind a gate.
class GatedHardware final : public HardwareProbe {
  public:
    std::uint32_t VideoMemoryBytes() override {
        ++started;
        gate.Wait();
        ++measurements;
        return 3000u << 20;
    }
    std::int32_t ProcessorClockMhz() override { return 3200; }
    std::int32_t FullScreenHeight() override { return 1100; }
    Gate gate;
    std::atomic<int> started{0};
    std::atomic<int> measurements{0};
};

// The settings dialog of the configure mode, run on a thread of its own.
class RunningSettingsDialog {
  public:
    RunningSettingsDialog()
        : started_(std::chrono::steady_clock::now()), thread_([this] {
              CoInitialize(nullptr);
              probesPending_ = ShowSettingsDialog(nullptr);
              CoUninitialize();
              done_ = true;
          }),
          dialog_(e2e::WaitForWindow(GetCurrentProcessId(), L"#32770", nullptr, kWait)),
          shownAfter_(std::chrono::steady_clock::now() - started_) {}
    ~RunningSettingsDialog() {
        if (!done_ && dialog_) PostMessageW(dialog_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    RunningSettingsDialog(const RunningSettingsDialog&) = delete;
    RunningSettingsDialog& operator=(const RunningSettingsDialog&) = delete;

    HWND Dialog() const { return dialog_; }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    double ShownAfterSeconds() const { return std::chrono::duration<double>(shownAfter_).count(); }
    // Closes with OK or Cancel, or with the close box for 0; whether a probe
    // was still under way then.
    bool CloseWith(int button) {
        if (button)
            SendMessageW(Item(button), BM_CLICK, 0, 0);
        else
            PostMessageW(dialog_, WM_CLOSE, 0, 0);
        EXPECT_TRUE(e2e::WaitUntil([&] { return done_.load(); }, kWait)) << "the dialog did not end";
        return probesPending_;
    }

  private:
    std::atomic<bool> done_{false};
    std::atomic<bool> probesPending_{false};
    std::chrono::steady_clock::time_point started_;
    std::thread thread_;
    HWND dialog_;
    std::chrono::steady_clock::duration shownAfter_;
};

class SettingsDialogProbes : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(resources_) << "the screensaver's resources";
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, L"Software\\Quenvale"));
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, L"Software\\Quenvale", L"DisableAnalytics", L"1"));
    }
    static std::wstring Stored(const wchar_t* name) {
        auto value = e2e::ReadValue(HKEY_LOCAL_MACHINE, kProductKey, name);
        return value ? value->Chars().c_str() : L"(missing)";
    }
    ScreensaverResources resources_;
};

TEST_F(SettingsDialogProbes, ProbesThatNeverAnswerLeaveAWorkingDialogThatEndsWithEveryButton) {
    // Never opened: the probes hang for good, the facts' one as well.
    static GatedDisplay display(true);
    static GatedHardware hardware;
    ScopedDisplayProbe useDisplay(display);
    ScopedHardware useHardware(hardware);
    ScopedDialogProbeBounds shortBounds(kShortBounds);
    const struct {
        const char* what;
        bool restoreDefaultsFirst;
        int closeWith; // 0: the close box
        const wchar_t* storedDisableSound;
    } cases[] = {
        {"OK", false, IDOK, L"2: 1"},
        {"Cancel", false, IDCANCEL, L"(missing)"},
        {"the close box", false, 0, L"(missing)"},
        {"Restore Defaults, then OK", true, IDOK, L"2: 0"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey));
        RunningSettingsDialog dialog;
        ASSERT_NE(dialog.Dialog(), nullptr) << c.what << ": the dialog did not open";
        EXPECT_EQ(e2e::ComboItems(dialog.Item(MonitorList)).size(), 0u) << c.what;
        EXPECT_FALSE(e2e::IsEnabled(dialog.Item(MonitorList))) << c.what;
        EXPECT_EQ(e2e::ComboItems(dialog.Item(SampleList)).size(), 0u) << c.what;
        e2e::Click(dialog.Item(EnableSounds));
        ASSERT_TRUE(e2e::WaitUntil([&] { return !e2e::IsChecked(dialog.Item(EnableSounds)); }, kWait)) << c.what;
        if (c.restoreDefaultsFirst) {
            SendMessageW(dialog.Item(RestoreDefaults), BM_CLICK, 0, 0);
            EXPECT_TRUE(e2e::IsChecked(dialog.Item(EnableSounds))) << c.what << ": the default shows";
        }
        EXPECT_TRUE(dialog.CloseWith(c.closeWith))
            << c.what << ": the hung probes must be reported, so that the process ends without them";
        EXPECT_EQ(Stored(L"DisableSound"), c.storedDisableSound) << c.what;
    }
}

TEST_F(SettingsDialogProbes, ProbesThatFailGiveTheDefaultsOfUnknownHardware) {
    static GatedDisplay display(false);
    display.gate.Open();
    static FixedHardware unknown(0, 0, 0);
    ScopedDisplayProbe useDisplay(display);
    ScopedHardware useHardware(unknown);
    RunningSettingsDialog dialog;
    ASSERT_NE(dialog.Dialog(), nullptr);
    EXPECT_EQ(e2e::ComboItems(dialog.Item(SampleList)).size(), 0u);
    EXPECT_FALSE(e2e::IsChecked(dialog.Item(Antialiasing)));
    EXPECT_FALSE(dialog.CloseWith(IDOK));
    EXPECT_EQ(Stored(L"HighQualityTextures"), L"2: 0");
    EXPECT_EQ(Stored(L"Antialiasing"), L"2: 0");
    EXPECT_EQ(Stored(L"MusicVolumePercentage"), L"2: 15");
}

TEST_F(SettingsDialogProbes, HardwareIsMeasuredOnceAndOnlyWhenADefaultNeedsIt) {
    static GatedDisplay display(true);
    display.gate.Open();
    static GatedHardware hardware;
    hardware.gate.Close();
    // Every setting stored: the dialog shows without the facts.
    for (const wchar_t* name : {L"HighQualityTextures", L"HighQualityGraphics", L"Antialiasing"})
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, name, L"2: 0"));
    ScopedDisplayProbe useDisplay(display);
    ScopedHardware useHardware(hardware);
    {
        RunningSettingsDialog dialog;
        ASSERT_NE(dialog.Dialog(), nullptr) << "the dialog waited for facts it did not need";
        EXPECT_FALSE(dialog.CloseWith(IDCANCEL));
        EXPECT_EQ(hardware.started.load(), 0) << "a measurement that nothing used";
    }

    RunningSettingsDialog dialog;
    ASSERT_NE(dialog.Dialog(), nullptr);
    EXPECT_FALSE(e2e::IsChecked(dialog.Item(Antialiasing)));
    // Restore Defaults measures, and waits (answering nothing meanwhile).
    std::thread press([&] { SendMessageW(dialog.Item(RestoreDefaults), BM_CLICK, 0, 0); });
    ASSERT_TRUE(e2e::WaitUntil([&] { return hardware.started.load() == 1; }, kWait)) << "no measurement started";
    const bool waiting = e2e::WaitUntil(
        [&] {
            DWORD_PTR answer = 0;
            return !SendMessageTimeoutW(dialog.Dialog(), WM_NULL, 0, 0, SMTO_NORMAL, 100, &answer);
        },
        kWait);
    EXPECT_TRUE(waiting) << "Restore Defaults did not wait for its measurement";
    hardware.gate.Open();
    press.join();
    EXPECT_TRUE(e2e::IsChecked(dialog.Item(Antialiasing))) << "the restored default of this machine";
    SendMessageW(dialog.Item(RestoreDefaults), BM_CLICK, 0, 0);
    EXPECT_EQ(hardware.measurements.load(), 1) << "the second Restore Defaults measured again";
    EXPECT_FALSE(dialog.CloseWith(IDCANCEL));
    EXPECT_EQ(Stored(L"Antialiasing"), L"2: 0") << "Cancel writes nothing";
}

TEST_F(SettingsDialogProbes, LateSampleCountsFillTheListKeepingTheUsersChoice) {
    static GatedDisplay display(true);
    static FixedHardware hardware(0, 0, 0);
    ScopedDisplayProbe useDisplay(display);
    ScopedHardware useHardware(hardware);
    ScopedDialogProbeBounds shortBounds(kShortBounds);
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"Antialiasing", L"2: 0"));
    RunningSettingsDialog dialog;
    ASSERT_NE(dialog.Dialog(), nullptr);
    EXPECT_EQ(e2e::ComboItems(dialog.Item(SampleList)).size(), 0u);
    e2e::Click(dialog.Item(Antialiasing));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::IsChecked(dialog.Item(Antialiasing)); }, kWait));
    display.gate.Open();
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::ComboItems(dialog.Item(SampleList)).size() == 2; }, kWait))
        << "the late answer did not reach the list";
    EXPECT_TRUE(e2e::IsChecked(dialog.Item(Antialiasing))) << "the user's choice";
    EXPECT_TRUE(e2e::IsEnabled(dialog.Item(SampleList)));
    EXPECT_EQ(e2e::ComboSelection(dialog.Item(SampleList)), 0) << "the top entry, as for the \"on\" flag";
    EXPECT_FALSE(dialog.CloseWith(IDOK));
    EXPECT_EQ(Stored(L"Antialiasing"), L"2: 2") << "the late list's choice";
}

} // namespace
