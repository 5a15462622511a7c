// Video memory through Direct3D 9, WMI and DirectDraw.
#include "hardware/video_memory_win.h"

#include "hardware/adapter_choice.h"
#include "platform/com_objects_win.h"
#include "platform/direct3d9_win.h"
#include "hardware/video_controller_match.h"
#include "platform/library_win.h"

#include <d3d9.h>
#include <ddraw.h>
#include <wbemidl.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using platform::Bstr;
using platform::ComApartment;
using platform::ComPtr;
using platform::Variant;

namespace {

// Spelled out here so that no GUID library has to be linked.
constexpr CLSID kClsidWbemLocator = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
constexpr IID kIidWbemLocator = {0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
constexpr IID kIidDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

constexpr std::size_t kDeviceIdCapacity = 512;
constexpr std::size_t kDriverNameLimit = 511;
constexpr ULONG kMaxControllers = 10;
constexpr LONG kWmiTimeoutMilliseconds = 5000;

struct DirectDrawDeviceSearch {
    HMONITOR monitor;
    bool found = false;
    std::string driverName;
};

BOOL CALLBACK NoteDeviceOfMonitor(GUID*, LPSTR, LPSTR driverName, LPVOID context, HMONITOR monitor) {
    auto* search = static_cast<DirectDrawDeviceSearch*>(context);
    // Every match is noted, so with several devices on one monitor the last wins.
    if (monitor == search->monitor) {
        search->found = true;
        search->driverName.assign(driverName ? driverName : "", driverName ? strnlen(driverName, kDriverNameLimit) : 0);
    }
    return TRUE;
}

// Only the display device's identifier is needed; DirectDraw is what ties a
// monitor to a display device name.
std::optional<std::string> DisplayDeviceNameOfMonitor(const platform::Library& ddraw, HMONITOR monitor) {
    auto enumerate = ddraw.Function<decltype(&::DirectDrawEnumerateExA)>("DirectDrawEnumerateExA");
    if (!enumerate) return std::nullopt;
    DirectDrawDeviceSearch search{monitor, false, {}};
    enumerate(NoteDeviceOfMonitor, &search, DDENUM_ATTACHEDSECONDARYDEVICES);
    if (!search.found) return std::nullopt;
    return search.driverName;
}

// Lets WMI's providers act with the caller's identity, which they need to
// answer. Looked up by name because older systems' ole32 may lack it.
void AllowImpersonation(IWbemServices* services) {
    platform::Library ole32(L"ole32.dll");
    auto setProxyBlanket = ole32.Function<decltype(&::CoSetProxyBlanket)>("CoSetProxyBlanket");
    if (!setProxyBlanket) return;
    setProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

std::optional<std::wstring> TextProperty(IWbemClassObject* object, const wchar_t* name) {
    Variant value;
    if (FAILED(object->Get(name, 0, value.Receive(), nullptr, nullptr))) return std::nullopt;
    if (value.Get().vt != VT_BSTR || !value.Get().bstrVal) return std::nullopt;
    return std::wstring(value.Get().bstrVal, SysStringLen(value.Get().bstrVal));
}

// WMI hands out uint32 properties as VT_I4; a controller without a figure
// gives VT_NULL, which is no figure at all.
std::optional<DWORD> UnsignedProperty(IWbemClassObject* object, const wchar_t* name) {
    Variant value;
    if (FAILED(object->Get(name, 0, value.Receive(), nullptr, nullptr))) return std::nullopt;
    switch (value.Get().vt) {
    case VT_I4:
        return static_cast<DWORD>(value.Get().lVal);
    case VT_UI4:
        return value.Get().ulVal;
    case VT_INT:
        return static_cast<DWORD>(value.Get().intVal);
    case VT_UINT:
        return value.Get().uintVal;
    default:
        return std::nullopt;
    }
}

} // namespace

DWORD QueryVideoMemory() {
    HMONITOR monitor = nullptr;
    if (MonitorOfChosenAdapter(monitor)) {
        DWORD bytes = 0;
        if (VideoMemoryFromWmi(monitor, bytes) && bytes != 0) return bytes;
    }
    return VideoMemoryFromDirectDraw();
}

bool MonitorOfChosenAdapter(HMONITOR& monitor) {
    const platform::Direct3D9 direct3d;
    if (!direct3d) return false;
    const UINT adapters = direct3d->GetAdapterCount();
    if (adapters == 0) return false;
    monitor = direct3d->GetAdapterMonitor(AdapterFromCurMonitor(adapters));
    return monitor != nullptr;
}

bool DeviceIdFromMonitor(HMONITOR monitor, wchar_t* buffer, std::size_t capacity) {
    if (!buffer || capacity == 0) return false;
    buffer[0] = L'\0';
    // DirectDraw's primary display driver is listed with no monitor; a null
    // monitor would find that entry, whose name is no display device's.
    if (!monitor) return false;

    platform::Library ddraw(L"ddraw.dll");
    if (!ddraw) return false;
    const auto deviceName = DisplayDeviceNameOfMonitor(ddraw, monitor);
    if (!deviceName) return false;

    for (DWORD index = 0;; ++index) {
        DISPLAY_DEVICEA device{};
        device.cb = sizeof(device);
        if (!EnumDisplayDevicesA(nullptr, index, &device, 0)) return false;
        if ((device.StateFlags & DISPLAY_DEVICE_MIRRORING_DRIVER) ||
            !(device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP))
            continue;
        const std::string name(device.DeviceName, strnlen(device.DeviceName, sizeof(device.DeviceName)));
        if (lstrcmpiA(name.c_str(), deviceName->c_str()) != 0) continue;

        const int length = static_cast<int>(strnlen(device.DeviceID, sizeof(device.DeviceID)));
        // A room of 0 would turn the conversion into a size query.
        const int room = static_cast<int>(std::min<std::size_t>(capacity - 1, INT_MAX));
        if (length == 0 || room == 0) return false;
        const int written = MultiByteToWideChar(CP_ACP, 0, device.DeviceID, length, buffer, room);
        if (written <= 0 || written > room) {
            buffer[0] = L'\0';
            return false;
        }
        buffer[written] = L'\0';
        return true;
    }
}

bool VideoMemoryFromWmi(HMONITOR monitor, DWORD& bytes) {
    wchar_t deviceId[kDeviceIdCapacity] = {};
    if (!DeviceIdFromMonitor(monitor, deviceId, kDeviceIdCapacity)) deviceId[0] = L'\0';
    bytes = 0;

    // Declared in this order so that they are released in the reverse one,
    // the apartment last.
    ComApartment apartment;
    ComPtr<IWbemLocator> locator;
    if (FAILED(
            CoCreateInstance(kClsidWbemLocator, nullptr, CLSCTX_INPROC_SERVER, kIidWbemLocator, locator.ReceiveVoid())))
        return false;
    Bstr ns(L"\\\\.\\root\\cimv2");
    ComPtr<IWbemServices> services;
    if (!ns ||
        FAILED(locator->ConnectServer(ns.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Receive())))
        return false;
    AllowImpersonation(services.Get());

    Bstr className(L"Win32_VideoController");
    ComPtr<IEnumWbemClassObject> listing;
    if (!className || FAILED(services->CreateInstanceEnum(className.Get(), 0, nullptr, listing.Receive())))
        return false;
    listing->Reset();

    std::array<IWbemClassObject*, kMaxControllers> received{};
    ULONG count = 0;
    const HRESULT next = listing->Next(kWmiTimeoutMilliseconds, kMaxControllers, received.data(), &count);
    std::array<ComPtr<IWbemClassObject>, kMaxControllers> controllers;
    if (count > kMaxControllers) count = kMaxControllers;
    for (ULONG i = 0; i < count; ++i)
        *controllers[i].Receive() = received[i];
    if (FAILED(next)) return false;

    std::vector<std::optional<std::wstring>> pnpDeviceIds;
    for (ULONG i = 0; i < count; ++i)
        pnpDeviceIds.push_back(controllers[i] ? TextProperty(controllers[i].Get(), L"PNPDeviceID") : std::nullopt);
    // Fewer objects than asked for, without a time-out, means the listing ended.
    const bool listingComplete = next == WBEM_S_FALSE;
    const auto match = MatchVideoController(pnpDeviceIds, deviceId, listingComplete);
    if (!match) return false;

    const auto adapterRam = UnsignedProperty(controllers[*match].Get(), L"AdapterRAM");
    if (!adapterRam) return false;
    bytes = *adapterRam;
    return true;
}

DWORD VideoMemoryFromDirectDraw() {
    platform::Library ddraw(L"ddraw.dll");
    auto create = ddraw.Function<decltype(&::DirectDrawCreateEx)>("DirectDrawCreateEx");
    if (!create) return 0;
    ComPtr<IDirectDraw7> directDraw;
    if (FAILED(create(nullptr, directDraw.ReceiveVoid(), kIidDirectDraw7, nullptr))) return 0;
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_VIDEOMEMORY;
    DWORD total = 0;
    if (FAILED(directDraw->GetAvailableVidMem(&caps, &total, nullptr))) return 0;
    return total;
}
