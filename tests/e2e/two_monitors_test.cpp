// The monitor list on a desktop of two monitors that one adapter group drives
// (the harness's SORVANE_SCREENS=2): its entries, the stored choice, what each
// choice stores and enables.
#include "tests/e2e/settings_dialog_fixture.h"

#include <vector>

namespace settings_e2e {
namespace {

// What Wine calls each of its monitors.
constexpr const wchar_t* kWineMonitorName = L"Generic Non-PnP Monitor";
constexpr int kMultiMonitorEntry = 2;

class TwoMonitors : public SettingsDialogTest {
  protected:
    void SetUp() override {
        if (!e2e::TwoScreensRequested()) GTEST_SKIP() << "runs on the harness's two screens (SORVANE_SCREENS=2)";
        ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2) << "the harness's display shows Wine one monitor";
        SettingsDialogTest::SetUp();
    }

    std::vector<LRESULT> ItemData() const {
        std::vector<LRESULT> data;
        for (int i = 0; i < static_cast<int>(e2e::ComboItems(Item(MonitorList)).size()); ++i)
            data.push_back(e2e::ComboItemData(Item(MonitorList), i));
        return data;
    }

    // Chooses an entry as the user does and waits for the check box to follow.
    void Pick(int entry, bool blankScreensEnabled) {
        e2e::SelectComboItem(Item(MonitorList), entry);
        EXPECT_TRUE(e2e::WaitUntil([&] { return Enabled(BlankScreens) == blankScreensEnabled; }, kDeadline))
            << "after choosing entry " << entry << " the blank-screens check box should be "
            << (blankScreensEnabled ? "enabled" : "disabled");
    }
};

TEST_F(TwoMonitors, ListOffersEachMonitorThenMultiMonitorWhichIsTheDefault) {
    Open();
    const std::vector<std::wstring> entries{kWineMonitorName, kWineMonitorName, L"Multi-monitor"};
    EXPECT_EQ(e2e::ComboItems(Item(MonitorList)), entries);
    EXPECT_EQ(ItemData(), (std::vector<LRESULT>{0, 1, 1000}));
    EXPECT_EQ(e2e::ComboSelection(Item(MonitorList)), kMultiMonitorEntry);
    EXPECT_TRUE(Enabled(MonitorList));
    EXPECT_TRUE(Enabled(BlankScreens)) << "filling the list leaves the check box enabled";
    EXPECT_TRUE(Checked(BlankScreens));

    // Choosing a monitor after "Multi-monitor" gives the check box back; no
    // choice reaches the registry without OK.
    Pick(kMultiMonitorEntry, false);
    Pick(1, true);
    Pick(kMultiMonitorEntry, false);
    Pick(0, true);
    PressAndWaitForExit(Cancel);
    EXPECT_FALSE(e2e::KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
}

TEST_F(TwoMonitors, EachChoiceStoresItsMonitorAndModeOnOk) {
    constexpr int kNoPick = -1;
    const struct {
        const char* what;
        const wchar_t* curMonitor; // stored before the start; null: none
        const wchar_t* multiMonitor;
        int selectedAtStart;
        int pick;
        const wchar_t* storedCurMonitor;
        const wchar_t* storedMultiMonitor;
    } cases[] = {
        {"multi-monitor chosen instead of the second monitor", L"2: 1", L"2: 0", 1, kMultiMonitorEntry, L"2: 0",
         L"2: 1"},
        {"the second monitor chosen instead of multi-monitor", nullptr, nullptr, kMultiMonitorEntry, 1, L"2: 1",
         L"2: 0"},
        {"the first monitor chosen instead of multi-monitor", L"2: 1", L"2: 1", kMultiMonitorEntry, 0, L"2: 0",
         L"2: 0"},
        {"a stored monitor that no longer exists is kept", L"2: 5", L"2: 0", CB_ERR, kNoPick, L"2: 5", L"2: 0"},
        {"a stored monitor that no longer exists, then the second chosen", L"2: 5", L"2: 0", CB_ERR, 1, L"2: 1",
         L"2: 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey));
        if (c.curMonitor) SeedSetting(L"CurMonitor", c.curMonitor);
        if (c.multiMonitor) SeedSetting(L"EnableMultiMonitorMode", c.multiMonitor);
        Open();
        EXPECT_EQ(e2e::ComboSelection(Item(MonitorList)), c.selectedAtStart);
        if (c.pick != kNoPick) Pick(c.pick, c.pick != kMultiMonitorEntry);
        PressAndWaitForExit(Ok);
        EXPECT_EQ(Stored(L"CurMonitor"), c.storedCurMonitor);
        EXPECT_EQ(Stored(L"EnableMultiMonitorMode"), c.storedMultiMonitor);
    }
}

} // namespace
} // namespace settings_e2e
