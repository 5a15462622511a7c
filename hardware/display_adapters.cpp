// The enumeration of Direct3D 9 adapters, their confirmed full-screen modes
// and their monitors, over the calls of Direct3D9Calls and DisplayDeviceCalls.
#include "hardware/display_adapters.h"

#include "platform/utf8.h"

#include <algorithm>
#include <cstring>

namespace {

struct ListedMode {
    UINT width;
    UINT height;
    D3DFORMAT format;
};

// Width ascending, then height ascending, then format descending.
bool ListsBefore(const ListedMode& a, const ListedMode& b) {
    if (a.width != b.width) return a.width < b.width;
    if (a.height != b.height) return a.height < b.height;
    return static_cast<std::int32_t>(a.format) > static_cast<std::int32_t>(b.format);
}

bool SameMode(const ListedMode& a, const ListedMode& b) {
    return a.width == b.width && a.height == b.height && a.format == b.format;
}

// The distinct modes of one adapter, kept sorted. When more than fit are
// reported, the smallest give way, so that the large modes a full-screen
// scene is usually shown in (the desktop's among them) stay.
class ModeList {
  public:
    // False when the mode was not kept (already held, or smaller than all
    // of a full list).
    bool Add(const ListedMode& mode) {
        const auto heldEnd = modes_.begin() + count_;
        if (std::any_of(modes_.begin(), heldEnd, [&](const ListedMode& held) { return SameMode(held, mode); }))
            return false;
        if (count_ == modes_.size()) {
            if (!ListsBefore(modes_[0], mode)) return false;
            std::move(modes_.begin() + 1, heldEnd, modes_.begin());
            --count_;
        }
        const auto last = modes_.begin() + count_;
        const auto at = std::upper_bound(modes_.begin(), last, mode, ListsBefore);
        std::move_backward(at, last, last + 1);
        *at = mode;
        ++count_;
        return true;
    }
    const ListedMode* begin() const { return modes_.data(); }
    const ListedMode* end() const { return modes_.data() + count_; }

  private:
    std::array<ListedMode, kMaxDistinctModes> modes_{};
    std::size_t count_ = 0;
};

constexpr BOOL kFullScreen = 0; // CheckDeviceType's "windowed" argument

struct FormatChoice {
    D3DFORMAT format;
    bool confirmed;
    DWORD vertexProcessing;
    D3DFORMAT depthStencilFormat;
};

class FormatList {
  public:
    bool Holds(D3DFORMAT format) const {
        return std::any_of(begin(), end(), [&](const FormatChoice& f) { return f.format == format; });
    }
    bool Full() const { return count_ == formats_.size(); }
    void Add(D3DFORMAT format) {
        if (Full() || Holds(format)) return;
        formats_[count_++] = FormatChoice{format, false, 0, D3DFMT_UNKNOWN};
    }
    FormatChoice* begin() { return formats_.data(); }
    FormatChoice* end() { return formats_.data() + count_; }
    const FormatChoice* begin() const { return formats_.data(); }
    const FormatChoice* end() const { return formats_.data() + count_; }

  private:
    std::array<FormatChoice, kMaxFormatsPerAdapter> formats_{};
    std::size_t count_ = 0;
};

void CollectModes(Direct3D9Calls& d3d, UINT adapter, ModeList& modes, FormatList& formats) {
    const UINT count = d3d.GetAdapterModeCount(adapter, D3DFMT_X8R8G8B8);
    for (UINT m = 0; m < count; ++m) {
        D3DDISPLAYMODE reported{};
        if (FAILED(d3d.EnumAdapterModes(adapter, D3DFMT_X8R8G8B8, m, reported))) continue;
        if (reported.Width < kMinimumModeWidth || reported.Height < kMinimumModeHeight) continue;
        // A mode whose format could not be tracked could never be confirmed.
        if (!formats.Holds(reported.Format) && formats.Full()) continue;
        if (modes.Add(ListedMode{reported.Width, reported.Height, reported.Format})) formats.Add(reported.Format);
    }
}

void ConfirmFormat(Direct3D9Calls& d3d, UINT adapter, const D3DCAPS9& caps, const DeviceModeApproval& approve,
                   FormatChoice& choice) {
    const D3DFORMAT f = choice.format;
    if (FAILED(d3d.CheckDeviceType(adapter, D3DDEVTYPE_HAL, f, f, kFullScreen))) return;
    DWORD vertexProcessing = 0;
    if ((caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) && approve(caps, D3DCREATE_HARDWARE_VERTEXPROCESSING, f))
        vertexProcessing = D3DCREATE_HARDWARE_VERTEXPROCESSING;
    else if (approve(caps, D3DCREATE_SOFTWARE_VERTEXPROCESSING, f))
        vertexProcessing = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    else
        return;
    D3DFORMAT depthStencil = D3DFMT_UNKNOWN;
    if (!PickDepthStencilFormat(d3d, adapter, D3DDEVTYPE_HAL, f, depthStencil)) return;
    choice.confirmed = true;
    choice.vertexProcessing = vertexProcessing;
    choice.depthStencilFormat = depthStencil;
}

void FillDevice(const ModeList& modes, const FormatList& formats, DeviceRecord& device) {
    for (const ListedMode& mode : modes) {
        for (const FormatChoice& f : formats) {
            if (mode.format != f.format || !f.confirmed) continue;
            if (device.modeCount == device.modes.size()) return;
            device.modes[device.modeCount++] =
                ModeRecord{mode.width, mode.height, mode.format, f.vertexProcessing, f.depthStencilFormat};
        }
    }
}

// Copies `text` into a fixed field, cut to fit and NUL-terminated.
template <std::size_t N> void CopyText(const std::wstring& text, wchar_t (&field)[N]) {
    const std::wstring cut = TruncateUtf16(text, N - 1);
    std::copy(cut.begin(), cut.end(), field);
    field[cut.size()] = L'\0';
}

// The identifier's description may fill its field without a terminator.
std::string FieldText(const char* field, std::size_t size) {
    return std::string(field, std::find(field, field + size, '\0'));
}

void FillMonitor(Direct3D9Calls& d3d, DisplayDeviceCalls& displays, UINT adapter,
                 const D3DADAPTER_IDENTIFIER9& identifier, MonitorRecord& monitor) {
    const std::wstring description = Utf8ToWide(FieldText(identifier.Description, sizeof identifier.Description));
    CopyText(description, monitor.adapterDescription);
    monitor.monitor = d3d.GetAdapterMonitor(adapter);

    std::wstring gdiDevice;
    RECT area{};
    if (!monitor.monitor || !displays.GetMonitorArea(monitor.monitor, area, gdiDevice)) {
        // Without a GDI device there is nothing to ask the display devices
        // about; the adapter's own description is the best name left.
        monitor.area = RECT{};
        CopyText(description, monitor.monitorName);
        return;
    }
    monitor.area = area;
    std::wstring name = gdiDevice;
    DisplayDeviceEntry device;
    for (DWORD index = 0; displays.GetDisplayDevice(gdiDevice, index, device); ++index) {
        if (device.stateFlags & DISPLAY_DEVICE_ACTIVE) {
            if (!device.deviceString.empty()) name = device.deviceString;
            break;
        }
        device = DisplayDeviceEntry{};
    }
    CopyText(name, monitor.monitorName);
}

void Clear(AdapterEnumeration& found) {
    found.adapter0Caps = D3DCAPS9{};
    for (AdapterRecord& adapter : found.adapters)
        adapter = AdapterRecord{};
    for (MonitorRecord& monitor : found.monitors)
        monitor = MonitorRecord{};
    found.adapterCount = 0;
    found.monitorCount = 0;
}

} // namespace

bool ApproveEveryDeviceMode(const D3DCAPS9&, DWORD, D3DFORMAT) { return true; }

std::wstring TruncateUtf16(const std::wstring& text, std::size_t maxUnits) {
    if (text.size() <= maxUnits) return text;
    std::size_t cut = maxUnits;
    const auto isHigh = [](wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    const auto isLow = [](wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    if (cut > 0 && isHigh(text[cut - 1]) && isLow(text[cut])) --cut;
    return text.substr(0, cut);
}

bool PickDepthStencilFormat(Direct3D9Calls& d3d, UINT adapter, D3DDEVTYPE type, D3DFORMAT format,
                            D3DFORMAT& depthStencilFormat) {
    static constexpr D3DFORMAT candidates[] = {D3DFMT_D32, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D16};
    for (const D3DFORMAT candidate : candidates) {
        if (FAILED(d3d.CheckDeviceFormat(adapter, type, format, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, candidate)))
            continue;
        if (FAILED(d3d.CheckDepthStencilMatch(adapter, type, format, format, candidate))) continue;
        depthStencilFormat = candidate;
        return true;
    }
    return false;
}

bool EnumerateAdapters(Direct3D9Calls* d3d, DisplayDeviceCalls& displays, AdapterEnumeration& found,
                       const DeviceModeApproval& approve) {
    Clear(found);
    if (!d3d) return false;
    const DeviceModeApproval& approval = approve ? approve : DeviceModeApproval(ApproveEveryDeviceMode);
    if (FAILED(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, found.adapter0Caps))) found.adapter0Caps = D3DCAPS9{};

    const UINT adapterCount = d3d->GetAdapterCount();
    for (UINT i = 0; i < adapterCount && found.monitorCount < kMaxMonitorRecords; ++i) {
        AdapterRecord& adapter = found.adapters[found.adapterCount];
        adapter = AdapterRecord{};
        if (FAILED(d3d->GetAdapterIdentifier(i, adapter.identifier))) adapter.identifier = D3DADAPTER_IDENTIFIER9{};
        if (FAILED(d3d->GetAdapterDisplayMode(i, adapter.desktopMode))) adapter.desktopMode = D3DDISPLAYMODE{};

        ModeList modes;
        FormatList formats;
        formats.Add(adapter.desktopMode.Format);
        CollectModes(*d3d, i, modes, formats);

        DeviceRecord& device = adapter.devices[0];
        device.deviceType = D3DDEVTYPE_HAL;
        if (FAILED(d3d->GetDeviceCaps(i, D3DDEVTYPE_HAL, device.caps))) device.caps = D3DCAPS9{};
        for (FormatChoice& choice : formats)
            ConfirmFormat(*d3d, i, device.caps, approval, choice);
        FillDevice(modes, formats, device);
        if (device.modeCount == 0) {
            adapter = AdapterRecord{};
            continue;
        }
        adapter.deviceCount = 1;
        FillMonitor(*d3d, displays, i, adapter.identifier, found.monitors[found.monitorCount]);
        ++found.adapterCount;
        ++found.monitorCount;
    }
    return found.adapterCount > 0;
}
