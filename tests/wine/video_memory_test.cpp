// Video memory and the processor clock measured under Wine, checked against
// what the system reports through other routes.
#include "platform/com_objects_win.h"
#include "hardware/processor_clock.h"
#include "hardware/video_memory_win.h"
#include "platform/registry_access.h"
#include "tests/e2e/driver/process.h"
#include "tests/registry/registry_fixture.h"

#include <d3d9.h>
#include <wbemidl.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using platform::Bstr;
using platform::ComApartment;
using platform::ComPtr;
using platform::Variant;

struct Controller {
    std::wstring pnpDeviceId;
    DWORD adapterRam = 0;
};

// Every Win32_VideoController through a WQL query, a route of its own.
std::vector<Controller> VideoControllers() {
    std::vector<Controller> found;
    ComApartment apartment;
    ComPtr<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(__uuidof(WbemLocator), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWbemLocator),
                                locator.ReceiveVoid())))
        return found;
    Bstr ns(L"ROOT\\CIMV2"), language(L"WQL"), query(L"SELECT PNPDeviceID, AdapterRAM FROM Win32_VideoController");
    ComPtr<IWbemServices> services;
    if (FAILED(locator->ConnectServer(ns.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Receive())))
        return found;
    ComPtr<IEnumWbemClassObject> rows;
    if (FAILED(services->ExecQuery(language.Get(), query.Get(), WBEM_FLAG_FORWARD_ONLY, nullptr, rows.Receive())))
        return found;
    for (;;) {
        ComPtr<IWbemClassObject> row;
        ULONG count = 0;
        if (rows->Next(WBEM_INFINITE, 1, row.Receive(), &count) != S_OK || count != 1) break;
        Controller controller;
        Variant pnp, ram;
        if (SUCCEEDED(row->Get(L"PNPDeviceID", 0, pnp.Receive(), nullptr, nullptr)) && pnp.Get().vt == VT_BSTR)
            controller.pnpDeviceId = pnp.Get().bstrVal;
        if (SUCCEEDED(row->Get(L"AdapterRAM", 0, ram.Receive(), nullptr, nullptr)) && ram.Get().vt == VT_I4)
            controller.adapterRam = static_cast<DWORD>(ram.Get().lVal);
        found.push_back(controller);
    }
    return found;
}

HMONITOR MonitorOfAdapter(UINT adapter) {
    ComPtr<IDirect3D9> direct3d(Direct3DCreate9(D3D_SDK_VERSION));
    return direct3d && adapter < direct3d->GetAdapterCount() ? direct3d->GetAdapterMonitor(adapter) : nullptr;
}

// The display device's identifier, found from the monitor's device name.
std::wstring DeviceIdOfMonitor(HMONITOR monitor) {
    MONITORINFOEXA info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoA(monitor, &info)) return {};
    DISPLAY_DEVICEA device{};
    device.cb = sizeof(device);
    for (DWORD i = 0; EnumDisplayDevicesA(nullptr, i, &device, 0); ++i) {
        if (lstrcmpiA(device.DeviceName, info.szDevice) == 0) {
            const std::string id = device.DeviceID;
            return std::wstring(id.begin(), id.end());
        }
        device = DISPLAY_DEVICEA{};
        device.cb = sizeof(device);
    }
    return {};
}

class VideoMemoryTest : public RegistryTest {};

TEST_F(VideoMemoryTest, StoredMonitorOutsideTheAdaptersMeasuresAdapterZero) {
    const HMONITOR adapterZero = MonitorOfAdapter(0);
    ASSERT_NE(adapterZero, nullptr) << "Direct3D 9 lists no adapter";
    const struct {
        const char* what;
        const wchar_t* curMonitor; // null: no value
    } cases[] = {{"no value", nullptr}, {"adapter 0", L"2: 0"}, {"adapter 7 of one", L"2: 7"}, {"-1", L"2: -1"}};
    for (const auto& c : cases) {
        if (c.curMonitor) SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"CurMonitor", c.curMonitor);
        HMONITOR monitor = nullptr;
        EXPECT_TRUE(MonitorOfChosenAdapter(monitor)) << c.what;
        EXPECT_EQ(monitor, adapterZero) << c.what;
    }
}

TEST_F(VideoMemoryTest, DeviceIdIsTheIdentifierOfTheMonitorsDisplayDevice) {
    const HMONITOR monitor = MonitorOfAdapter(0);
    const std::wstring expected = DeviceIdOfMonitor(monitor);
    ASSERT_FALSE(expected.empty()) << "no display device for the monitor of adapter 0";

    wchar_t buffer[512];
    ASSERT_TRUE(DeviceIdFromMonitor(monitor, buffer, 512));
    EXPECT_EQ(std::wstring(buffer), expected);

    // Exactly enough room, then one unit too little: no write past the room.
    std::vector<wchar_t> exact(expected.size() + 1, L'#');
    EXPECT_TRUE(DeviceIdFromMonitor(monitor, exact.data(), exact.size()));
    EXPECT_EQ(std::wstring(exact.data()), expected);
    std::vector<wchar_t> tight(expected.size() + 2, L'#');
    EXPECT_FALSE(DeviceIdFromMonitor(monitor, tight.data(), expected.size()));
    EXPECT_EQ(tight[0], L'\0');
    EXPECT_EQ(std::wstring(tight.begin() + expected.size(), tight.end()), L"##") << "written past the capacity";

    EXPECT_FALSE(DeviceIdFromMonitor(nullptr, buffer, 512)) << "no monitor";
    EXPECT_FALSE(DeviceIdFromMonitor(monitor, buffer, 0)) << "no room";
}

TEST_F(VideoMemoryTest, MeasuredMemoryIsTheMatchingControllersElseDirectDrawsTotal) {
    const std::vector<Controller> controllers = VideoControllers();
    ASSERT_FALSE(controllers.empty()) << "WMI lists no video controller";
    const std::wstring deviceId = DeviceIdOfMonitor(MonitorOfAdapter(0));
    ASSERT_FALSE(deviceId.empty());

    const Controller* matching = nullptr;
    for (const auto& controller : controllers)
        if (!matching && controller.pnpDeviceId.find(deviceId) != std::wstring::npos) matching = &controller;

    const DWORD measured = QueryVideoMemory();
    if (matching && matching->adapterRam != 0) {
        EXPECT_EQ(measured, matching->adapterRam) << "the controller " << testing::PrintToString(matching->pnpDeviceId);
    } else {
        // Wine 8 gives the display device a different identifier from WMI's
        // controller, so the fallback answers here.
        const DWORD directDraw = VideoMemoryFromDirectDraw();
        EXPECT_NE(directDraw, 0u) << "DirectDraw reports no video memory";
        EXPECT_EQ(measured, directDraw) << "no controller contains " << testing::PrintToString(deviceId);
        DWORD bytes = 12345;
        EXPECT_FALSE(VideoMemoryFromWmi(MonitorOfAdapter(0), bytes));
        EXPECT_EQ(bytes, 0u);
    }
}

TEST_F(VideoMemoryTest, UnidentifiedMonitorTakesTheSoleControllersMemory) {
    const std::vector<Controller> controllers = VideoControllers();
    ASSERT_FALSE(controllers.empty());
    // A monitor handle that no display device has: the adapter identifier
    // cannot be found.
    const HMONITOR unknown = reinterpret_cast<HMONITOR>(static_cast<INT_PTR>(0x7A5E));
    wchar_t buffer[512];
    ASSERT_FALSE(DeviceIdFromMonitor(unknown, buffer, 512));

    DWORD bytes = 12345;
    const bool read = VideoMemoryFromWmi(unknown, bytes);
    if (controllers.size() == 1) {
        EXPECT_TRUE(read);
        EXPECT_EQ(bytes, controllers[0].adapterRam);
    } else {
        EXPECT_FALSE(read) << controllers.size() << " controllers: no guess";
        EXPECT_EQ(bytes, 0u);
    }
}

// On the harness's two monitors (SORVANE_SCREENS=2), which Direct3D 9 lists
// as two adapters.
class TwoMonitorsVideoMemory : public VideoMemoryTest {
  protected:
    void SetUp() override {
        if (!e2e::TwoScreensRequested()) GTEST_SKIP() << "runs on the harness's two screens (SORVANE_SCREENS=2)";
        ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2) << "the harness's display shows Wine one monitor";
        VideoMemoryTest::SetUp();
    }
};

std::string GdiDeviceName(HMONITOR monitor) {
    MONITORINFOEXA info{};
    info.cbSize = sizeof(info);
    return GetMonitorInfoA(monitor, &info) ? info.szDevice : "(no monitor)";
}

TEST_F(TwoMonitorsVideoMemory, StoredSecondMonitorMeasuresTheSecondAdaptersMonitor) {
    const HMONITOR first = MonitorOfAdapter(0);
    const HMONITOR second = MonitorOfAdapter(1);
    ASSERT_NE(second, nullptr) << "Direct3D 9 lists one adapter";
    ASSERT_NE(first, second);
    const struct {
        const wchar_t* curMonitor;
        HMONITOR expected;
    } cases[] = {{L"2: 1", second}, {L"2: 0", first}, {L"2: 2", first}, {L"2: 7", first}};
    for (const auto& c : cases) {
        SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"CurMonitor", c.curMonitor);
        HMONITOR monitor = nullptr;
        EXPECT_TRUE(MonitorOfChosenAdapter(monitor));
        EXPECT_EQ(monitor, c.expected) << "CurMonitor " << testing::PrintToString(std::wstring(c.curMonitor))
                                       << ": expected " << GdiDeviceName(c.expected) << ", measured "
                                       << GdiDeviceName(monitor);
    }
    // The second adapter's display device is found through its monitor too.
    wchar_t buffer[512];
    ASSERT_TRUE(DeviceIdFromMonitor(second, buffer, 512)) << GdiDeviceName(second);
    EXPECT_EQ(std::wstring(buffer), DeviceIdOfMonitor(second));
}

// The host's clock as Linux reports it, from the Wine drive that maps "/".
double HostClockMhz() {
    std::ifstream cpuinfo("Z:\\proc\\cpuinfo");
    std::string line;
    double highest = 0;
    while (std::getline(cpuinfo, line)) {
        const std::size_t colon = line.find(':');
        if (line.rfind("cpu MHz", 0) != 0 || colon == std::string::npos) continue;
        const char* number = line.c_str() + colon + 1;
        char* end = nullptr;
        const double mhz = std::strtod(number, &end);
        if (end != number && mhz > highest) highest = mhz;
    }
    return highest;
}

TEST(ProcessorClock, EstimateIsNearTheHostsClock) {
    const double host = HostClockMhz();
    ASSERT_GT(host, 0) << "no cpu MHz line in /proc/cpuinfo";
    // One estimate is thrown far off when the thread loses the processor in
    // the middle of a wait, as it does on a busy machine: the median of five
    // is not.
    std::vector<std::int32_t> estimates;
    for (int i = 0; i < 5; ++i) estimates.push_back(MeasureProcessorClock());
    std::sort(estimates.begin(), estimates.end());
    const std::int32_t estimate = estimates[2];
    // The time-stamp counter may tick at the nominal rather than the current
    // rate, so the band is wide; a wrong unit or a broken wait is far outside it.
    EXPECT_GT(estimate, host * 0.6) << "estimate " << estimate << " MHz, host " << host << " MHz";
    EXPECT_LT(estimate, host * 1.6) << "estimate " << estimate << " MHz, host " << host << " MHz";
}

} // namespace
