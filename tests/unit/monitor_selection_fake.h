// A scripted Direct3D 9 and window system for the adapter enumeration tests:
// each adapter is described by data, and the calls made are counted.
#pragma once

#include "hardware/display_adapters.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fake {

inline D3DFORMAT Format(int value) { return static_cast<D3DFORMAT>(value); }

inline HMONITOR MonitorHandle(std::uintptr_t value) { return reinterpret_cast<HMONITOR>(value); }

inline D3DDISPLAYMODE Mode(UINT width, UINT height, UINT refresh = 60, D3DFORMAT format = D3DFMT_X8R8G8B8) {
    return D3DDISPLAYMODE{width, height, refresh, format};
}

struct Adapter {
    std::string description = "Fake Graphics";
    // Copied into the identifier's whole field without a terminator when set.
    bool descriptionFillsField = false;
    D3DDISPLAYMODE desktop = Mode(1920, 1080);
    std::vector<D3DDISPLAYMODE> modes = {Mode(1920, 1080)};
    DWORD devCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    UINT adaptersInGroup = 1;
    // Display formats for which CheckDeviceType fails.
    std::set<int> failingDisplayFormats;
    // Depth-stencil formats that CheckDeviceFormat and CheckDepthStencilMatch accept.
    std::set<int> depthFormats = {D3DFMT_D24S8, D3DFMT_D16};
    std::set<int> depthMatches = {D3DFMT_D32, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D16};
    HMONITOR monitor = MonitorHandle(0x100);
};

class Direct3D9 : public Direct3D9Calls {
  public:
    std::vector<Adapter> adapters;
    // Every adapter ordinal the identifier was asked for, in order.
    std::vector<UINT> identifiedAdapters;
    // (adapter, depth-stencil candidate) pairs CheckDeviceFormat was asked about.
    std::vector<std::pair<UINT, int>> depthFormatChecks;

    UINT GetAdapterCount() override { return static_cast<UINT>(adapters.size()); }

    HRESULT GetAdapterIdentifier(UINT adapter, D3DADAPTER_IDENTIFIER9& identifier) override {
        identifiedAdapters.push_back(adapter);
        if (adapter >= adapters.size()) return D3DERR_INVALIDCALL;
        identifier = D3DADAPTER_IDENTIFIER9{};
        const Adapter& a = adapters[adapter];
        if (a.descriptionFillsField) {
            std::memset(identifier.Description, 'x', sizeof identifier.Description);
            std::memcpy(identifier.Description, a.description.data(),
                        std::min(a.description.size(), sizeof identifier.Description));
        } else {
            std::strncpy(identifier.Description, a.description.c_str(), sizeof identifier.Description - 1);
        }
        return S_OK;
    }
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& mode) override {
        if (adapter >= adapters.size()) return D3DERR_INVALIDCALL;
        mode = adapters[adapter].desktop;
        return S_OK;
    }
    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
        if (adapter >= adapters.size() || format != D3DFMT_X8R8G8B8) return 0;
        return static_cast<UINT>(adapters[adapter].modes.size());
    }
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT index, D3DDISPLAYMODE& mode) override {
        if (adapter >= adapters.size() || format != D3DFMT_X8R8G8B8) return D3DERR_INVALIDCALL;
        if (index >= adapters[adapter].modes.size()) return D3DERR_INVALIDCALL;
        mode = adapters[adapter].modes[index];
        return S_OK;
    }
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9& caps) override {
        if (adapter >= adapters.size() || type != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
        caps = D3DCAPS9{};
        caps.DeviceType = type;
        caps.AdapterOrdinal = adapter;
        caps.DevCaps = adapters[adapter].devCaps;
        caps.NumberOfAdaptersInGroup = adapters[adapter].adaptersInGroup;
        return S_OK;
    }
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override {
        if (adapter >= adapters.size() || type != D3DDEVTYPE_HAL || windowed) return D3DERR_INVALIDCALL;
        if (displayFormat != backBufferFormat || displayFormat == D3DFMT_UNKNOWN) return D3DERR_NOTAVAILABLE;
        return adapters[adapter].failingDisplayFormats.count(displayFormat) ? D3DERR_NOTAVAILABLE : S_OK;
    }
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT, DWORD usage, D3DRESOURCETYPE resourceType,
                              D3DFORMAT checkFormat) override {
        depthFormatChecks.emplace_back(adapter, checkFormat);
        if (adapter >= adapters.size() || type != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
        if (usage != D3DUSAGE_DEPTHSTENCIL || resourceType != D3DRTYPE_SURFACE) return D3DERR_NOTAVAILABLE;
        return adapters[adapter].depthFormats.count(checkFormat) ? S_OK : D3DERR_NOTAVAILABLE;
    }
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT renderTargetFormat,
                                   D3DFORMAT depthStencilFormat) override {
        if (adapter >= adapters.size() || type != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
        if (adapterFormat != renderTargetFormat) return D3DERR_NOTAVAILABLE;
        return adapters[adapter].depthMatches.count(depthStencilFormat) ? S_OK : D3DERR_NOTAVAILABLE;
    }
    HMONITOR GetAdapterMonitor(UINT adapter) override {
        return adapter < adapters.size() ? adapters[adapter].monitor : nullptr;
    }
};

struct Monitor {
    RECT area{0, 0, 1920, 1080};
    std::wstring gdiDevice = L"\\\\.\\DISPLAY1";
    std::vector<DisplayDeviceEntry> devices = {{DISPLAY_DEVICE_ACTIVE, L"Fake Monitor"}};
};

class Displays : public DisplayDeviceCalls {
  public:
    std::map<HMONITOR, Monitor> monitors;
    // (GDI device, index) pairs that were asked for.
    std::vector<std::pair<std::wstring, DWORD>> deviceQueries;

    bool GetMonitorArea(HMONITOR monitor, RECT& area, std::wstring& gdiDeviceName) override {
        const auto found = monitors.find(monitor);
        if (found == monitors.end()) return false;
        area = found->second.area;
        gdiDeviceName = found->second.gdiDevice;
        return true;
    }
    bool GetDisplayDevice(const std::wstring& gdiDeviceName, DWORD index, DisplayDeviceEntry& device) override {
        deviceQueries.emplace_back(gdiDeviceName, index);
        for (const auto& entry : monitors) {
            if (entry.second.gdiDevice != gdiDeviceName) continue;
            if (index >= entry.second.devices.size()) return false;
            device = entry.second.devices[index];
            return true;
        }
        return false;
    }
};

} // namespace fake
