// The monitor list and blank-screens check box on real controls, and the
// adapter enumeration over Wine's own Direct3D 9.
#include "settings/dialogs/monitor_selection.h"
#include "settings/store/settings_tree.h"
#include "tests/e2e/driver/windows.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class OwnedWindow {
  public:
    explicit OwnedWindow(HWND window) : window_(window) {}
    ~OwnedWindow() {
        if (window_) DestroyWindow(window_);
    }
    OwnedWindow(const OwnedWindow&) = delete;
    OwnedWindow& operator=(const OwnedWindow&) = delete;
    HWND get() const { return window_; }

  private:
    HWND window_;
};

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string Describe(const std::vector<std::wstring>& items) {
    std::string out = "{";
    for (const auto& item : items)
        out += " \"" + Narrow(item) + "\"";
    return out + " }";
}

// The dialog's two monitor controls on a hidden window of their own.
class MonitorControls : public ::testing::Test {
  protected:
    OwnedWindow host{CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 400, 200, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr)};
    OwnedWindow list{CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL, 10, 10,
                                     200, 120, host.get(), reinterpret_cast<HMENU>(1002), GetModuleHandleW(nullptr),
                                     nullptr)};
    OwnedWindow blank{CreateWindowExW(0, L"BUTTON", L"Show a blank screen on all monitors",
                                      WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 220, 10, 160, 20, host.get(),
                                      reinterpret_cast<HMENU>(1013), GetModuleHandleW(nullptr), nullptr)};
    std::unique_ptr<AdapterEnumeration> found = std::make_unique<AdapterEnumeration>();
    Node settings;

    void SetUp() override {
        ASSERT_NE(host.get(), nullptr);
        ASSERT_NE(list.get(), nullptr);
        ASSERT_NE(blank.get(), nullptr);
    }

    // `count` monitors named "Monitor 0", "Monitor 1", ...; adapter 0 drives
    // `group` of them as one adapter group.
    void Monitors(UINT count, UINT group) {
        *found = AdapterEnumeration{};
        found->adapterCount = found->monitorCount = count;
        found->adapter0Caps.NumberOfAdaptersInGroup = group;
        for (UINT i = 0; i < count; ++i) {
            const std::wstring name = L"Monitor " + std::to_wstring(i);
            name.copy(found->monitors[i].monitorName, name.size());
        }
    }

    void Set(const wchar_t* name, int value) { settings.Get(name) = Node::Value(static_cast<std::int32_t>(value)); }

    int Stored(const wchar_t* name) {
        EXPECT_TRUE(settings.Has(name, Node::Kind::Int)) << Narrow(name) << " is not an Int entry";
        return settings.Get(name).AsInt();
    }

    void Select(int index) { SendMessageW(list.get(), CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
};

struct FillCase {
    const char* situation;
    UINT monitors;
    UINT group;
    int curMonitor; // -2: absent from the tree
    int multiMonitor;
    int showBlackScreens;
    std::vector<std::wstring> entries;
    std::vector<LRESULT> itemData;
    int selection;
    bool listEnabled;
    bool blankEnabled;
};

TEST_F(MonitorControls, FillMonitorListShowsTheRecordsAndTheStoredChoice) {
    const FillCase cases[] = {
        {"one monitor", 1, 1, -2, 1, 1, {L"Monitor 0"}, {0}, 0, false, false},
        {"two cards, multi-monitor stored but not offered",
         2,
         1,
         1,
         1,
         0,
         {L"Monitor 0", L"Monitor 1"},
         {0, 1},
         1,
         true,
         true},
        {"an adapter group of two, multi-monitor chosen",
         2,
         2,
         0,
         1,
         1,
         {L"Monitor 0", L"Monitor 1", L"Multi-monitor"},
         {0, 1, 1000},
         2,
         true,
         true},
        {"an adapter group of two, the second monitor chosen",
         2,
         2,
         1,
         0,
         0,
         {L"Monitor 0", L"Monitor 1", L"Multi-monitor"},
         {0, 1, 1000},
         1,
         true,
         true},
        {"a stored monitor that no longer exists",
         3,
         1,
         5,
         0,
         1,
         {L"Monitor 0", L"Monitor 1", L"Monitor 2"},
         {0, 1, 2},
         CB_ERR,
         true,
         true},
        {"a negative stored monitor", 2, 1, -1, 0, 0, {L"Monitor 0", L"Monitor 1"}, {0, 1}, CB_ERR, true, true},
        {"no usable adapter", 0, 0, 0, 1, 1, {}, {}, CB_ERR, false, false},
        {"a group reported on a single monitor", 1, 2, 0, 1, 0, {L"Monitor 0"}, {0}, 0, false, false},
        {"nine monitors in one group",
         9,
         9,
         8,
         0,
         1,
         {L"Monitor 0", L"Monitor 1", L"Monitor 2", L"Monitor 3", L"Monitor 4", L"Monitor 5", L"Monitor 6",
          L"Monitor 7", L"Monitor 8", L"Multi-monitor"},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 1000},
         8,
         true,
         true},
    };
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.situation);
        // Whatever an earlier fill left behind must go.
        SendMessageW(list.get(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"stale"));
        settings = Node();
        if (c.curMonitor != -2) Set(L"CurMonitor", c.curMonitor);
        Set(L"EnableMultiMonitorMode", c.multiMonitor);
        Set(L"ShowBlackScreens", c.showBlackScreens);
        Monitors(c.monitors, c.group);

        FillMonitorList(list.get(), blank.get(), *found, settings);

        const auto items = e2e::ComboItems(list.get());
        EXPECT_EQ(items, c.entries) << "got " << Describe(items);
        std::vector<LRESULT> data;
        for (int i = 0; i < static_cast<int>(items.size()); ++i)
            data.push_back(e2e::ComboItemData(list.get(), i));
        EXPECT_EQ(data, c.itemData);
        EXPECT_EQ(e2e::ComboSelection(list.get()), c.selection);
        EXPECT_EQ(e2e::IsEnabled(list.get()), c.listEnabled);
        EXPECT_EQ(e2e::IsEnabled(blank.get()), c.blankEnabled);
        EXPECT_EQ(e2e::IsChecked(blank.get()), c.showBlackScreens != 0);
        EXPECT_FALSE(settings.Has(L"CurMonitor", Node::Kind::None)) << "filling must not add entries to the tree";
    }
}

struct SelectCase {
    const char* choice;
    int entry;
    int multiMonitor;
    int curMonitor;
    bool blankEnabled;
};

TEST_F(MonitorControls, ChoosingAnEntryStoresTheChoiceAtOnce) {
    const SelectCase cases[] = {
        {"Multi-monitor", 2, 1, 0, false},
        {"the second monitor", 1, 0, 1, true},
        {"the first monitor", 0, 0, 0, true},
    };
    for (const SelectCase& c : cases) {
        SCOPED_TRACE(c.choice);
        settings = Node();
        Set(L"CurMonitor", 1);
        Set(L"EnableMultiMonitorMode", c.multiMonitor ? 0 : 1);
        Set(L"ShowBlackScreens", 1);
        Monitors(2, 2);
        FillMonitorList(list.get(), blank.get(), *found, settings);

        Select(c.entry);
        OnMonitorSelected(list.get(), blank.get(), settings);

        EXPECT_EQ(Stored(L"EnableMultiMonitorMode"), c.multiMonitor);
        EXPECT_EQ(Stored(L"CurMonitor"), c.curMonitor);
        EXPECT_EQ(e2e::IsEnabled(blank.get()), c.blankEnabled);
        EXPECT_EQ(Stored(L"ShowBlackScreens"), 1) << "choosing a monitor leaves the blank-screens setting alone";
    }
}

TEST_F(MonitorControls, ChoosingNothingChangesNothing) {
    Set(L"CurMonitor", 7);
    Set(L"EnableMultiMonitorMode", 1);
    Monitors(2, 1);
    FillMonitorList(list.get(), blank.get(), *found, settings);
    ASSERT_EQ(e2e::ComboSelection(list.get()), CB_ERR);

    OnMonitorSelected(list.get(), blank.get(), settings);

    EXPECT_EQ(Stored(L"CurMonitor"), 7);
    EXPECT_EQ(Stored(L"EnableMultiMonitorMode"), 1);
}

TEST_F(MonitorControls, TheBlankScreensCheckBoxIsStoredAtOnce) {
    Monitors(2, 1);
    FillMonitorList(list.get(), blank.get(), *found, settings);
    for (const int state : {1, 0, 1}) {
        SendMessageW(blank.get(), BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
        OnBlankScreensClicked(blank.get(), settings);
        EXPECT_EQ(Stored(L"ShowBlackScreens"), state);
    }
}

// The name a monitor's display device reports for the monitor `handle`.
std::wstring DisplayDeviceName(HMONITOR handle) {
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(handle, &info)) return L"(no monitor information)";
    DISPLAY_DEVICEW device{};
    device.cb = sizeof device;
    if (!EnumDisplayDevicesW(info.szDevice, 0, &device, 0)) return L"(no display device)";
    if (!(device.StateFlags & DISPLAY_DEVICE_ACTIVE)) return L"(display device not active)";
    return device.DeviceString;
}

TEST_F(MonitorControls, WinesSingleMonitorIsListedSelectedAndLocked) {
    ASSERT_TRUE(EnumerateAdapters(*found));
    Set(L"EnableMultiMonitorMode", 1);
    Set(L"ShowBlackScreens", 1);

    FillMonitorList(list.get(), blank.get(), *found, settings);

    const std::vector<std::wstring> expected = {
        DisplayDeviceName(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY))};
    EXPECT_EQ(e2e::ComboItems(list.get()), expected) << "got " << Describe(e2e::ComboItems(list.get()));
    EXPECT_EQ(e2e::ComboSelection(list.get()), 0);
    EXPECT_FALSE(e2e::IsEnabled(list.get()));
    EXPECT_FALSE(e2e::IsEnabled(blank.get()));
    EXPECT_TRUE(e2e::IsChecked(blank.get()));
}

// Wine offers one adapter (the X screen) with one mode, the screen's size.
TEST(MonitorEnumeration, WinesAdapterBecomesOneMonitorWithItsDisplayDeviceName) {
    auto found = std::make_unique<AdapterEnumeration>();
    std::vector<DWORD> approvals;
    ASSERT_TRUE(EnumerateAdapters(*found, [&](const D3DCAPS9&, DWORD vertexProcessing, D3DFORMAT) {
        approvals.push_back(vertexProcessing);
        return true;
    }));
    ASSERT_EQ(found->adapterCount, 1u);
    ASSERT_EQ(found->monitorCount, 1u);
    EXPECT_FALSE(approvals.empty());

    const MonitorRecord& monitor = found->monitors[0];
    const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    EXPECT_EQ(monitor.monitor, primary);
    EXPECT_EQ(monitor.area.left, 0);
    EXPECT_EQ(monitor.area.top, 0);
    EXPECT_EQ(monitor.area.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(monitor.area.bottom, GetSystemMetrics(SM_CYSCREEN));

    EXPECT_EQ(std::wstring(monitor.monitorName), DisplayDeviceName(primary));
    EXPECT_NE(monitor.adapterDescription[0], L'\0');

    const AdapterRecord& adapter = found->adapters[0];
    EXPECT_EQ(adapter.deviceCount, 1u);
    const DeviceRecord& hal = adapter.devices[0];
    ASSERT_GE(hal.modeCount, 1u);
    bool desktopSizeListed = false;
    for (UINT i = 0; i < hal.modeCount; ++i) {
        const ModeRecord& mode = hal.modes[i];
        EXPECT_GE(mode.width, kMinimumModeWidth);
        EXPECT_GE(mode.height, kMinimumModeHeight);
        EXPECT_TRUE(mode.depthStencilFormat == D3DFMT_D32 || mode.depthStencilFormat == D3DFMT_D24X8 ||
                    mode.depthStencilFormat == D3DFMT_D24S8 || mode.depthStencilFormat == D3DFMT_D24X4S4 ||
                    mode.depthStencilFormat == D3DFMT_D16)
            << "depth-stencil format " << mode.depthStencilFormat;
        EXPECT_TRUE(mode.vertexProcessing == D3DCREATE_HARDWARE_VERTEXPROCESSING ||
                    mode.vertexProcessing == D3DCREATE_SOFTWARE_VERTEXPROCESSING);
        if (mode.width == adapter.desktopMode.Width && mode.height == adapter.desktopMode.Height)
            desktopSizeListed = true;
    }
    EXPECT_TRUE(desktopSizeListed) << "the desktop's " << adapter.desktopMode.Width << "x" << adapter.desktopMode.Height
                                   << " mode is missing";
}

} // namespace
