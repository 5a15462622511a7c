// The adapter enumeration over the system's Direct3D 9 and window system.
#include "hardware/display_adapters.h"

#include "platform/direct3d9_win.h"

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

} // namespace

bool EnumerateAdapters(AdapterEnumeration& found, const DeviceModeApproval& approve) {
    SystemDisplays displays;
    const platform::Direct3D9 d3d;
    if (!d3d) return EnumerateAdapters(nullptr, displays, found, approve);
    SystemDirect3D9 calls(*d3d.Get());
    return EnumerateAdapters(&calls, displays, found, approve);
}
