// The adapter enumeration over the system's Direct3D 9 and window system, and
// the monitor list and blank-screens check box of the settings dialog.
#include "settings/dialogs/monitor_selection.h"

#include "localization/language_table.h"
#include "platform/direct3d9_win.h"
#include "settings/store/settings_tree.h"


namespace {


class SystemDirect3D9 : public Direct3D9Calls {
  public:
    explicit SystemDirect3D9(IDirect3D9& d3d) : d3d_(d3d) {}

    UINT GetAdapterCount() override { return d3d_.GetAdapterCount(); }
    HRESULT GetAdapterIdentifier(UINT adapter, D3DADAPTER_IDENTIFIER9& identifier) override {
        return d3d_.GetAdapterIdentifier(adapter, 0, &identifier);
    }
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& mode) override {
        return d3d_.GetAdapterDisplayMode(adapter, &mode);
    }
    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
        return d3d_.GetAdapterModeCount(adapter, format);
    }
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT index, D3DDISPLAYMODE& mode) override {
        return d3d_.EnumAdapterModes(adapter, format, index, &mode);
    }
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9& caps) override {
        return d3d_.GetDeviceCaps(adapter, type, &caps);
    }
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override {
        return d3d_.CheckDeviceType(adapter, type, displayFormat, backBufferFormat, windowed);
    }
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override {
        // NOLINTNEXTLINE(readability-suspicious-call-argument): passed through in Direct3D's own order
        return d3d_.CheckDeviceFormat(adapter, type, adapterFormat, usage, resourceType, checkFormat);
    }
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT renderTargetFormat,
                                   D3DFORMAT depthStencilFormat) override {
        return d3d_.CheckDepthStencilMatch(adapter, type, adapterFormat, renderTargetFormat, depthStencilFormat);
    }
    HMONITOR GetAdapterMonitor(UINT adapter) override { return d3d_.GetAdapterMonitor(adapter); }

  private:
    IDirect3D9& d3d_;
};

class SystemDisplays : public DisplayDeviceCalls {
  public:
    bool GetMonitorArea(HMONITOR monitor, RECT& area, std::wstring& gdiDeviceName) override {
        MONITORINFOEXW info{};
        info.cbSize = sizeof info;
        if (!GetMonitorInfoW(monitor, &info)) return false;
        area = info.rcMonitor;
        gdiDeviceName.assign(info.szDevice, wcsnlen(info.szDevice, CCHDEVICENAME));
        return true;
    }
    bool GetDisplayDevice(const std::wstring& gdiDeviceName, DWORD index, DisplayDeviceEntry& device) override {
        DISPLAY_DEVICEW found{};
        found.cb = sizeof found;
        if (!EnumDisplayDevicesW(gdiDeviceName.c_str(), index, &found, 0)) return false;
        device.stateFlags = found.StateFlags;
        device.deviceString.assign(found.DeviceString, wcsnlen(found.DeviceString, 128));
        return true;
    }
};

int ReadInt(const Node& settings, const wchar_t* name) {
    const auto& entries = settings.GetEntries();
    const auto found = entries.find(name);
    return found == entries.end() ? 0 : found->second.AsInt();
}

void WriteInt(Node& settings, const wchar_t* name, int value) {
    settings.Get(name) = Node::Value(static_cast<std::int32_t>(value));
}

bool IsChecked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Adds an entry with its item data; the entry's index, or CB_ERR.
LRESULT AddEntry(HWND list, const wchar_t* text, std::intptr_t itemData) {
    const LRESULT index = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index < 0) return CB_ERR;
    SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(itemData));
    return index;
}

} // namespace

bool EnumerateAdapters(AdapterEnumeration& found, const DeviceModeApproval& approve) {
    SystemDisplays displays;
    const platform::Direct3D9 d3d;
    if (!d3d) return EnumerateAdapters(nullptr, displays, found, approve);
    SystemDirect3D9 calls(*d3d.Get());
    return EnumerateAdapters(&calls, displays, found, approve);
}

void FillMonitorList(HWND monitorList, HWND blankScreens, const AdapterEnumeration& found, const Node& settings) {
    SendMessageW(monitorList, CB_RESETCONTENT, 0, 0);
    SendMessageW(blankScreens, BM_SETCHECK, ReadInt(settings, L"ShowBlackScreens") ? BST_CHECKED : BST_UNCHECKED, 0);
    const BOOL several = found.monitorCount > 1;
    EnableWindow(blankScreens, several);
    EnableWindow(monitorList, several);

    const int current = ReadInt(settings, L"CurMonitor");
    const UINT count = found.monitorCount < kMaxMonitorRecords ? found.monitorCount : kMaxMonitorRecords;
    for (UINT i = 0; i < count; ++i) {
        const LRESULT index = AddEntry(monitorList, found.monitors[i].monitorName, static_cast<std::intptr_t>(i));
        if (index != CB_ERR && current == static_cast<int>(i))
            SendMessageW(monitorList, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    if (count >= 2 && found.adapter0Caps.NumberOfAdaptersInGroup >= 2) {
        const std::wstring text = Translate(L"Multi-monitor");
        const LRESULT index = AddEntry(monitorList, text.c_str(), kMultiMonitorItemData);
        // Filling leaves the check box enabled even when "Multi-monitor" is
        // chosen; only choosing an entry in the list changes that.
        if (index != CB_ERR && ReadInt(settings, L"EnableMultiMonitorMode") != 0)
            SendMessageW(monitorList, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

void OnMonitorSelected(HWND monitorList, HWND blankScreens, Node& settings) {
    const LRESULT selected = SendMessageW(monitorList, CB_GETCURSEL, 0, 0);
    // With no entry selected the list's error result is no monitor index.
    if (selected == CB_ERR) return;
    std::intptr_t data = SendMessageW(monitorList, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
    if (data == CB_ERR) return;
    int multiMonitor = 0;
    if (data >= kMultiMonitorItemData) {
        multiMonitor = 1;
        data -= kMultiMonitorItemData;
    }
    WriteInt(settings, L"EnableMultiMonitorMode", multiMonitor);
    WriteInt(settings, L"CurMonitor", static_cast<int>(data));
    EnableWindow(blankScreens, multiMonitor == 0);
}

void OnBlankScreensClicked(HWND blankScreens, Node& settings) {
    WriteInt(settings, L"ShowBlackScreens", IsChecked(blankScreens) ? 1 : 0);
}
