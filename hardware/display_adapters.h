// The Direct3D 9 adapters and the monitors they drive: their records and the
// enumeration that fills them, which decides which adapters are usable and
// how they are counted.
#pragma once

#include "hardware/direct3d9_types.h"
#include "platform/win_types.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

constexpr UINT kMaxAdapterRecords = 10;
constexpr UINT kMaxMonitorRecords = 9;
constexpr UINT kMaxDevicesPerAdapter = 5;
constexpr UINT kMaxModesPerDevice = 150;
constexpr UINT kMaxDistinctModes = 100;
constexpr UINT kMaxFormatsPerAdapter = 20;
constexpr UINT kMonitorTextLength = 128; // UTF-16 units, the terminating NUL included
constexpr UINT kMinimumModeWidth = 640;
constexpr UINT kMinimumModeHeight = 480;

struct ModeRecord {
    UINT width;
    UINT height;
    D3DFORMAT format;
    DWORD vertexProcessing; // D3DCREATE_HARDWARE_ or D3DCREATE_SOFTWARE_VERTEXPROCESSING
    D3DFORMAT depthStencilFormat;
};

struct DeviceRecord {
    D3DDEVTYPE deviceType;
    D3DCAPS9 caps;
    UINT modeCount;
    std::array<ModeRecord, kMaxModesPerDevice> modes;
};

struct AdapterRecord {
    D3DADAPTER_IDENTIFIER9 identifier;
    D3DDISPLAYMODE desktopMode;
    UINT deviceCount; // 0 or 1: only the hardware device is examined
    std::array<DeviceRecord, kMaxDevicesPerAdapter> devices;
};

struct MonitorRecord {
    wchar_t adapterDescription[kMonitorTextLength];
    wchar_t monitorName[kMonitorTextLength];
    HMONITOR monitor;
    RECT area; // the whole monitor in virtual-screen pixels
};

// What EnumerateAdapters finds: one adapter record and one monitor record,
// at the same index, for each usable adapter in ordinal order.
struct AdapterEnumeration {
    D3DCAPS9 adapter0Caps;
    std::array<AdapterRecord, kMaxAdapterRecords> adapters;
    UINT adapterCount;
    std::array<MonitorRecord, kMaxMonitorRecords> monitors;
    UINT monitorCount; // always equal to adapterCount
};

// The IDirect3D9 calls the enumeration makes, under their own names.
class Direct3D9Calls {
  public:
    virtual ~Direct3D9Calls() = default;
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterIdentifier(UINT adapter, D3DADAPTER_IDENTIFIER9& identifier) = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& mode) = 0;
    virtual UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) = 0;
    virtual HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT index, D3DDISPLAYMODE& mode) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9& caps) = 0;
    virtual HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat,
                                    BOOL windowed) = 0;
    virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                      D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
    virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                           D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) = 0;
    virtual HMONITOR GetAdapterMonitor(UINT adapter) = 0;
};

struct DisplayDeviceEntry {
    DWORD stateFlags = 0;
    std::wstring deviceString;
};

// The monitor facts of the window system: GetMonitorInfoW and EnumDisplayDevicesW.
class DisplayDeviceCalls {
  public:
    virtual ~DisplayDeviceCalls() = default;
    // The monitor's whole area and its GDI device name (such as \\.\DISPLAY1).
    virtual bool GetMonitorArea(HMONITOR monitor, RECT& area, std::wstring& gdiDeviceName) = 0;
    // The display device `index` attached to the GDI device `gdiDeviceName`.
    virtual bool GetDisplayDevice(const std::wstring& gdiDeviceName, DWORD index, DisplayDeviceEntry& device) = 0;
};

// Whether a device mode may be used with this vertex processing and format.
// The settings dialog may narrow it; by default every mode is approved.
using DeviceModeApproval = std::function<bool(const D3DCAPS9& caps, DWORD vertexProcessing, D3DFORMAT format)>;
bool ApproveEveryDeviceMode(const D3DCAPS9& caps, DWORD vertexProcessing, D3DFORMAT format);

// The first of D32, D24X8, D24S8, D24X4S4, D16 that the device accepts as a
// depth-stencil surface matching `format`; false when none does.
bool PickDepthStencilFormat(Direct3D9Calls& d3d, UINT adapter, D3DDEVTYPE type, D3DFORMAT format,
                            D3DFORMAT& depthStencilFormat);

// Fills `found` from the adapters of `d3d` (null when Direct3D 9 is
// unavailable). False, with no records, when no adapter is usable. At most
// kMaxMonitorRecords usable adapters are recorded; later ones are left out.
bool EnumerateAdapters(Direct3D9Calls* d3d, DisplayDeviceCalls& displays, AdapterEnumeration& found,
                       const DeviceModeApproval& approve = ApproveEveryDeviceMode);

// `text` cut to at most `maxUnits` UTF-16 units without splitting a surrogate pair.
std::wstring TruncateUtf16(const std::wstring& text, std::size_t maxUnits);

#ifdef _WIN32
// The same over the system's Direct3D 9, which lives only for this call.
bool EnumerateAdapters(AdapterEnumeration& found, const DeviceModeApproval& approve = ApproveEveryDeviceMode);
#endif
