// The adapter enumeration over a scripted Direct3D 9: which adapters become
// monitor records, which modes they keep, and what happens at every limit.
#include "settings/dialogs/monitor_selection.h"
#include "tests/unit/monitor_selection_fake.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <tuple>

namespace {

using fake::Format;
using fake::Mode;
using fake::MonitorHandle;

std::wstring Text(const wchar_t* field) { return std::wstring(field); }

std::string Describe(const DeviceRecord& device) {
    std::ostringstream out;
    for (UINT i = 0; i < device.modeCount; ++i) {
        const ModeRecord& m = device.modes[i];
        out << m.width << "x" << m.height << "/" << m.format << " ";
    }
    return out.str();
}

struct Listed {
    UINT width;
    UINT height;
    int format;
    bool operator==(const Listed& o) const { return width == o.width && height == o.height && format == o.format; }
};

std::vector<Listed> ModesOf(const DeviceRecord& device) {
    std::vector<Listed> modes;
    for (UINT i = 0; i < device.modeCount; ++i)
        modes.push_back({device.modes[i].width, device.modes[i].height, device.modes[i].format});
    return modes;
}

class EnumerateAdaptersTest : public ::testing::Test {
  protected:
    fake::Direct3D9 d3d;
    fake::Displays displays;
    std::unique_ptr<AdapterEnumeration> found = std::make_unique<AdapterEnumeration>();

    // An adapter driving its own monitor, named by its ordinal.
    void AddAdapter(fake::Adapter adapter = {}) {
        const auto ordinal = d3d.adapters.size();
        adapter.monitor = MonitorHandle(0x100 + ordinal);
        if (adapter.description == "Fake Graphics") adapter.description = "Graphics " + std::to_string(ordinal);
        fake::Monitor monitor;
        monitor.area = RECT{static_cast<LONG>(1920 * ordinal), 0, static_cast<LONG>(1920 * (ordinal + 1)), 1080};
        monitor.gdiDevice = L"\\\\.\\DISPLAY" + std::to_wstring(ordinal + 1);
        monitor.devices = {{DISPLAY_DEVICE_ACTIVE, L"Monitor " + std::to_wstring(ordinal)}};
        displays.monitors[adapter.monitor] = monitor;
        d3d.adapters.push_back(adapter);
    }

    bool Enumerate(const DeviceModeApproval& approve = ApproveEveryDeviceMode) {
        return EnumerateAdapters(&d3d, displays, *found, approve);
    }
};

TEST_F(EnumerateAdaptersTest, OneAdapterBecomesOneMonitorRecordWithTheSystemsNames) {
    fake::Adapter adapter;
    adapter.description = "Quenvale R9 \xE2\x84\xA2 Caf\xC3\xA9"; // a trade mark sign and an e acute in UTF-8
    adapter.adaptersInGroup = 1;
    AddAdapter(adapter);

    ASSERT_TRUE(Enumerate());
    ASSERT_EQ(found->adapterCount, 1u);
    ASSERT_EQ(found->monitorCount, 1u);
    const MonitorRecord& monitor = found->monitors[0];
    EXPECT_EQ(Text(monitor.adapterDescription), L"Quenvale R9 \u2122 Caf\u00E9");
    EXPECT_EQ(Text(monitor.monitorName), L"Monitor 0");
    EXPECT_EQ(monitor.monitor, MonitorHandle(0x100));
    EXPECT_EQ(monitor.area.left, 0);
    EXPECT_EQ(monitor.area.right, 1920);
    EXPECT_EQ(monitor.area.bottom, 1080);

    const AdapterRecord& record = found->adapters[0];
    EXPECT_EQ(record.deviceCount, 1u);
    EXPECT_EQ(record.desktopMode.Width, 1920u);
    EXPECT_STREQ(record.identifier.Description, adapter.description.c_str());
    const DeviceRecord& device = record.devices[0];
    EXPECT_EQ(device.deviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(device.caps.AdapterOrdinal, 0u);
    ASSERT_EQ(device.modeCount, 1u) << Describe(device);
    const ModeRecord& mode = device.modes[0];
    EXPECT_EQ(mode.width, 1920u);
    EXPECT_EQ(mode.height, 1080u);
    EXPECT_EQ(mode.format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(mode.vertexProcessing, D3DCREATE_HARDWARE_VERTEXPROCESSING);
    EXPECT_EQ(mode.depthStencilFormat, D3DFMT_D24S8); // D32 and D24X8 are refused by this device
}

TEST_F(EnumerateAdaptersTest, RefreshRatesCollapseAndSmallModesAreLeftOut) {
    fake::Adapter adapter;
    adapter.modes = {Mode(1024, 768, 60), Mode(639, 480), Mode(640, 479),     Mode(1024, 768, 75),
                     Mode(640, 480, 60),  Mode(320, 200), Mode(640, 480, 85), Mode(1024, 768, 60)};
    AddAdapter(adapter);

    ASSERT_TRUE(Enumerate());
    const std::vector<Listed> expected = {{640, 480, D3DFMT_X8R8G8B8}, {1024, 768, D3DFMT_X8R8G8B8}};
    EXPECT_EQ(ModesOf(found->adapters[0].devices[0]), expected) << Describe(found->adapters[0].devices[0]);
}

TEST_F(EnumerateAdaptersTest, ModesAreSortedByWidthThenHeightThenFormatDescending) {
    fake::Adapter adapter;
    adapter.modes = {Mode(1280, 1024), Mode(800, 600, 60, D3DFMT_A8R8G8B8),   Mode(1280, 720), Mode(800, 600),
                     Mode(1024, 768),  Mode(800, 600, 60, D3DFMT_A2R10G10B10)};
    AddAdapter(adapter);

    ASSERT_TRUE(Enumerate());
    const std::vector<Listed> expected = {{800, 600, D3DFMT_A2R10G10B10}, {800, 600, D3DFMT_X8R8G8B8},
                                          {800, 600, D3DFMT_A8R8G8B8},    {1024, 768, D3DFMT_X8R8G8B8},
                                          {1280, 720, D3DFMT_X8R8G8B8},   {1280, 1024, D3DFMT_X8R8G8B8}};
    EXPECT_EQ(ModesOf(found->adapters[0].devices[0]), expected) << Describe(found->adapters[0].devices[0]);
}

TEST_F(EnumerateAdaptersTest, OnlyModesOfConfirmedFormatsAreRecorded) {
    fake::Adapter adapter;
    adapter.modes = {Mode(800, 600, 60, D3DFMT_A8R8G8B8), Mode(800, 600), Mode(1024, 768, 60, D3DFMT_R5G6B5)};
    adapter.failingDisplayFormats = {D3DFMT_A8R8G8B8};
    adapter.depthFormats = {D3DFMT_D16};
    adapter.depthMatches = {D3DFMT_D16};
    AddAdapter(adapter);

    ASSERT_TRUE(Enumerate());
    const std::vector<Listed> expected = {{800, 600, D3DFMT_X8R8G8B8}, {1024, 768, D3DFMT_R5G6B5}};
    const DeviceRecord& device = found->adapters[0].devices[0];
    EXPECT_EQ(ModesOf(device), expected) << Describe(device);
    EXPECT_EQ(device.modes[1].depthStencilFormat, D3DFMT_D16);
}

// Adapters that cannot show any mode get no record; the next usable adapter
// takes the free record index.
struct UnusableCase {
    const char* why;
    void (*spoil)(fake::Adapter&);
};

const UnusableCase kUnusable[] = {
    {"every mode is below 640 x 480",
     [](fake::Adapter& a) {
         a.modes = {Mode(639, 480), Mode(640, 479), Mode(320, 240)};
     }},
    {"it reports no modes at all", [](fake::Adapter& a) { a.modes.clear(); }},
    {"the hardware device fails CheckDeviceType for every format",
     [](fake::Adapter& a) { a.failingDisplayFormats = {D3DFMT_X8R8G8B8}; }},
    {"no depth-stencil format passes CheckDeviceFormat", [](fake::Adapter& a) { a.depthFormats.clear(); }},
    {"no depth-stencil format matches the display format", [](fake::Adapter& a) { a.depthMatches.clear(); }},
    {"the desktop format is usable but no listed mode has it",
     [](fake::Adapter& a) {
         a.desktop = Mode(1920, 1080, 60, D3DFMT_A8R8G8B8);
         a.failingDisplayFormats = {D3DFMT_X8R8G8B8};
     }},
};

TEST_F(EnumerateAdaptersTest, AnUnusableAdapterGetsNoRecordAndTheNextTakesItsIndex) {
    for (const UnusableCase& c : kUnusable) {
        SCOPED_TRACE(c.why);
        d3d.adapters.clear();
        displays.monitors.clear();
        fake::Adapter spoiled;
        c.spoil(spoiled);
        AddAdapter(spoiled);
        AddAdapter();
        AddAdapter(spoiled);
        AddAdapter();

        ASSERT_TRUE(Enumerate());
        ASSERT_EQ(found->adapterCount, 2u);
        ASSERT_EQ(found->monitorCount, 2u);
        EXPECT_STREQ(found->adapters[0].identifier.Description, "Graphics 1");
        EXPECT_STREQ(found->adapters[1].identifier.Description, "Graphics 3");
        EXPECT_EQ(found->monitors[0].monitor, MonitorHandle(0x101));
        EXPECT_EQ(Text(found->monitors[1].monitorName), L"Monitor 3");
        EXPECT_EQ(found->adapters[2].deviceCount, 0u);
        EXPECT_EQ(found->adapters[2].identifier.Description[0], '\0') << "a free record must stay empty";
    }
}

TEST_F(EnumerateAdaptersTest, FailsWithNoRecordsWhenNothingIsUsable) {
    // Records left over from an earlier enumeration must not survive.
    AddAdapter();
    ASSERT_TRUE(Enumerate());

    fake::Adapter tiny;
    tiny.modes = {Mode(320, 240)};
    d3d.adapters = {tiny};
    EXPECT_FALSE(Enumerate());
    EXPECT_EQ(found->adapterCount, 0u);
    EXPECT_EQ(found->monitorCount, 0u);
    EXPECT_EQ(found->monitors[0].monitorName[0], L'\0');

    d3d.adapters.clear();
    EXPECT_FALSE(Enumerate());
    EXPECT_EQ(found->monitorCount, 0u);
}

TEST_F(EnumerateAdaptersTest, FailsWithNoRecordsWithoutDirect3D) {
    AddAdapter();
    ASSERT_TRUE(Enumerate());
    EXPECT_FALSE(EnumerateAdapters(nullptr, displays, *found));
    EXPECT_EQ(found->adapterCount, 0u);
    EXPECT_EQ(found->monitorCount, 0u);
    EXPECT_EQ(found->adapters[0].deviceCount, 0u);
}

TEST_F(EnumerateAdaptersTest, AdapterZeroCapabilitiesAreKeptEvenWhenAdapterZeroIsUnusable) {
    fake::Adapter first;
    first.adaptersInGroup = 2;
    first.modes.clear();
    AddAdapter(first);
    AddAdapter();

    ASSERT_TRUE(Enumerate());
    EXPECT_EQ(found->adapter0Caps.NumberOfAdaptersInGroup, 2u);
    EXPECT_EQ(found->adapter0Caps.AdapterOrdinal, 0u);
    EXPECT_EQ(found->adapters[0].devices[0].caps.AdapterOrdinal, 1u);
}

// Vertex processing: hardware when the device can and the dialog approves,
// else software; refused both ways, the format is not confirmed.
struct VertexCase {
    const char* name;
    DWORD devCaps;
    bool approveHardware;
    bool approveSoftware;
    DWORD expected; // 0: the adapter is unusable
    std::vector<DWORD> asked;
};

TEST_F(EnumerateAdaptersTest, VertexProcessingFollowsTheCapabilitiesAndTheApproval) {
    const VertexCase cases[] = {
        {"hardware T&L, approved",
         D3DDEVCAPS_HWTRANSFORMANDLIGHT,
         true,
         true,
         D3DCREATE_HARDWARE_VERTEXPROCESSING,
         {D3DCREATE_HARDWARE_VERTEXPROCESSING}},
        {"hardware T&L, hardware refused",
         D3DDEVCAPS_HWTRANSFORMANDLIGHT,
         false,
         true,
         D3DCREATE_SOFTWARE_VERTEXPROCESSING,
         {D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DCREATE_SOFTWARE_VERTEXPROCESSING}},
        {"no hardware T&L", 0, true, true, D3DCREATE_SOFTWARE_VERTEXPROCESSING, {D3DCREATE_SOFTWARE_VERTEXPROCESSING}},
        {"everything refused",
         D3DDEVCAPS_HWTRANSFORMANDLIGHT,
         false,
         false,
         0,
         {D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DCREATE_SOFTWARE_VERTEXPROCESSING}},
    };
    for (const VertexCase& c : cases) {
        SCOPED_TRACE(c.name);
        d3d.adapters.clear();
        fake::Adapter adapter;
        adapter.devCaps = c.devCaps;
        AddAdapter(adapter);
        std::vector<DWORD> asked;
        const auto approve = [&](const D3DCAPS9& caps, DWORD vertexProcessing, D3DFORMAT format) {
            EXPECT_EQ(caps.DevCaps, c.devCaps);
            EXPECT_EQ(format, D3DFMT_X8R8G8B8);
            asked.push_back(vertexProcessing);
            return vertexProcessing == D3DCREATE_HARDWARE_VERTEXPROCESSING ? c.approveHardware : c.approveSoftware;
        };
        const bool usable = Enumerate(approve);
        EXPECT_EQ(asked, c.asked);
        if (c.expected == 0) {
            EXPECT_FALSE(usable);
            continue;
        }
        ASSERT_TRUE(usable);
        EXPECT_EQ(found->adapters[0].devices[0].modes[0].vertexProcessing, c.expected);
    }
}

TEST_F(EnumerateAdaptersTest, AnEmptyApprovalApprovesEverything) {
    AddAdapter();
    ASSERT_TRUE(Enumerate(DeviceModeApproval()));
    EXPECT_EQ(found->adapters[0].devices[0].modes[0].vertexProcessing, D3DCREATE_HARDWARE_VERTEXPROCESSING);
}

// PickDepthStencilFormat: the first candidate, in the fixed order, that the
// device takes both as a depth-stencil surface and as a match.
struct DepthCase {
    std::set<int> surfaces;
    std::set<int> matches;
    int expected; // 0: none
};

TEST(PickDepthStencilFormat, TakesTheFirstCandidateThatPassesBothChecks) {
    const DepthCase cases[] = {
        {{D3DFMT_D32, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D16},
         {D3DFMT_D32, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D16},
         D3DFMT_D32},
        {{D3DFMT_D16, D3DFMT_D24X8}, {D3DFMT_D16, D3DFMT_D24X8}, D3DFMT_D24X8},
        {{D3DFMT_D32, D3DFMT_D24S8}, {D3DFMT_D24S8}, D3DFMT_D24S8},
        {{D3DFMT_D32, D3DFMT_D24X4S4}, {D3DFMT_D24X8, D3DFMT_D24X4S4}, D3DFMT_D24X4S4},
        {{D3DFMT_D16}, {D3DFMT_D16}, D3DFMT_D16},
        {{D3DFMT_D32, D3DFMT_D24X8}, {D3DFMT_D24S8, D3DFMT_D16}, 0},
        {{}, {D3DFMT_D32}, 0},
        {{75 + 1000}, {75 + 1000}, 0}, // a format that is not a candidate is never taken
    };
    for (const DepthCase& c : cases) {
        fake::Direct3D9 d3d;
        fake::Adapter adapter;
        adapter.depthFormats = c.surfaces;
        adapter.depthMatches = c.matches;
        d3d.adapters = {adapter};
        D3DFORMAT picked = D3DFMT_UNKNOWN;
        const bool ok = PickDepthStencilFormat(d3d, 0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, picked);
        SCOPED_TRACE("expected " + std::to_string(c.expected));
        EXPECT_EQ(ok, c.expected != 0);
        if (ok) {
            EXPECT_EQ(static_cast<int>(picked), c.expected);
        }
    }
}

TEST(PickDepthStencilFormat, AsksInTheFixedOrderAndStopsAtTheFirstAccepted) {
    fake::Direct3D9 d3d;
    fake::Adapter adapter;
    adapter.depthFormats = {D3DFMT_D24S8, D3DFMT_D16};
    d3d.adapters = {adapter};
    D3DFORMAT picked = D3DFMT_UNKNOWN;
    ASSERT_TRUE(PickDepthStencilFormat(d3d, 0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, picked));
    const std::vector<std::pair<UINT, int>> expected = {{0, D3DFMT_D32}, {0, D3DFMT_D24X8}, {0, D3DFMT_D24S8}};
    EXPECT_EQ(d3d.depthFormatChecks, expected);
}

// Monitor names: the active display device's description, else the GDI name.
struct NameCase {
    const char* why;
    std::vector<DisplayDeviceEntry> devices;
    std::wstring expected;
    DWORD lastIndexAsked;
};

TEST_F(EnumerateAdaptersTest, MonitorNameIsTheFirstActiveDisplayDeviceOrTheGdiName) {
    const NameCase cases[] = {
        {"the first device is active",
         {{DISPLAY_DEVICE_ACTIVE, L"Panel A"}, {DISPLAY_DEVICE_ACTIVE, L"Panel B"}},
         L"Panel A",
         0},
        {"the second device is the first active one",
         {{0, L"Detached"}, {DISPLAY_DEVICE_ACTIVE | 0x2, L"Panel B"}},
         L"Panel B",
         1},
        {"no device is active", {{0, L"Detached"}, {0x2, L"Attached only"}}, L"\\\\.\\DISPLAY1", 2},
        {"no device at all", {}, L"\\\\.\\DISPLAY1", 0},
        {"the active device has no description", {{DISPLAY_DEVICE_ACTIVE, L""}}, L"\\\\.\\DISPLAY1", 0},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.why);
        d3d.adapters.clear();
        displays.monitors.clear();
        displays.deviceQueries.clear();
        AddAdapter();
        displays.monitors[MonitorHandle(0x100)].devices = c.devices;

        ASSERT_TRUE(Enumerate());
        EXPECT_EQ(Text(found->monitors[0].monitorName), c.expected);
        ASSERT_FALSE(displays.deviceQueries.empty());
        EXPECT_EQ(displays.deviceQueries.back().first, L"\\\\.\\DISPLAY1");
        EXPECT_EQ(displays.deviceQueries.back().second, c.lastIndexAsked) << "the search must stop at the first active";
    }
}

TEST_F(EnumerateAdaptersTest, AMonitorWithoutMonitorInformationIsNamedAfterItsAdapter) {
    fake::Adapter adapter;
    adapter.description = "Headless Graphics";
    AddAdapter(adapter);
    displays.monitors.clear();

    ASSERT_TRUE(Enumerate());
    EXPECT_EQ(Text(found->monitors[0].monitorName), L"Headless Graphics");
    EXPECT_EQ(found->monitors[0].area.right, 0);
    EXPECT_TRUE(displays.deviceQueries.empty());
}

TEST_F(EnumerateAdaptersTest, LongTextsAreCutToTheirFields) {
    fake::Adapter adapter;
    adapter.description = std::string(600, 'D');
    adapter.descriptionFillsField = true; // 512 bytes, no terminator
    AddAdapter(adapter);
    displays.monitors[MonitorHandle(0x100)].devices = {{DISPLAY_DEVICE_ACTIVE, std::wstring(300, L'M')}};

    ASSERT_TRUE(Enumerate());
    EXPECT_EQ(Text(found->monitors[0].adapterDescription), std::wstring(kMonitorTextLength - 1, L'D'));
    EXPECT_EQ(Text(found->monitors[0].monitorName), std::wstring(kMonitorTextLength - 1, L'M'));
}

TEST(TruncateUtf16, NeverSplitsASurrogatePair) {
    const std::wstring pair = {wchar_t(0xD83D), wchar_t(0xDE00)};
    const struct {
        std::wstring text;
        std::size_t max;
        std::wstring expected;
    } cases[] = {
        {L"abc", 5, L"abc"},
        {L"abcdef", 3, L"abc"},
        {L"ab" + pair + L"c", 3, L"ab"},
        {L"ab" + pair + L"c", 4, L"ab" + pair},
        {pair, 1, L""},
        {L"abc", 0, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TruncateUtf16(c.text, c.max), c.expected) << "max " << c.max;
}

// Limits: the records are never overrun.

TEST_F(EnumerateAdaptersTest, NoMoreThanNineUsableAdaptersAreRecorded) {
    for (int i = 0; i < 12; ++i)
        AddAdapter();

    ASSERT_TRUE(Enumerate());
    ASSERT_EQ(found->adapterCount, kMaxMonitorRecords);
    ASSERT_EQ(found->monitorCount, kMaxMonitorRecords);
    for (UINT i = 0; i < kMaxMonitorRecords; ++i) {
        EXPECT_EQ(found->adapters[i].identifier.Description, "Graphics " + std::to_string(i));
        EXPECT_EQ(Text(found->monitors[i].monitorName), L"Monitor " + std::to_wstring(i));
    }
    EXPECT_EQ(found->adapters[kMaxAdapterRecords - 1].deviceCount, 0u);
    EXPECT_EQ(found->adapters[kMaxAdapterRecords - 1].identifier.Description[0], '\0');
    const std::vector<UINT> asked = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(d3d.identifiedAdapters, asked) << "adapters after the ninth usable one are not examined";
}

TEST_F(EnumerateAdaptersTest, UnusableAdaptersDoNotCountTowardsTheLimit) {
    fake::Adapter unusable;
    unusable.modes.clear();
    for (int i = 0; i < 11; ++i)
        AddAdapter(i % 2 ? fake::Adapter{} : unusable);
    for (int i = 0; i < 6; ++i)
        AddAdapter();

    ASSERT_TRUE(Enumerate());
    ASSERT_EQ(found->monitorCount, kMaxMonitorRecords);
    const char* expected[] = {"Graphics 1",  "Graphics 3",  "Graphics 5",  "Graphics 7", "Graphics 9",
                              "Graphics 11", "Graphics 12", "Graphics 13", "Graphics 14"};
    for (UINT i = 0; i < kMaxMonitorRecords; ++i)
        EXPECT_STREQ(found->adapters[i].identifier.Description, expected[i]);
}

TEST_F(EnumerateAdaptersTest, OfMoreThanAHundredDistinctModesTheLargestAreKept) {
    fake::Adapter adapter;
    adapter.modes.clear();
    // 300 distinct sizes, each at two refresh rates, in a scrambled order.
    for (UINT i = 0; i < 300; ++i) {
        const UINT k = (i * 7) % 300;
        adapter.modes.push_back(Mode(640 + 8 * k, 480 + 4 * k, 60));
        adapter.modes.push_back(Mode(640 + 8 * k, 480 + 4 * k, 75));
    }
    AddAdapter(adapter);

    ASSERT_TRUE(Enumerate());
    const DeviceRecord& device = found->adapters[0].devices[0];
    ASSERT_EQ(device.modeCount, kMaxDistinctModes);
    for (UINT i = 0; i < kMaxDistinctModes; ++i) {
        const UINT k = 200 + i;
        EXPECT_EQ(device.modes[i].width, 640 + 8 * k) << "record " << i;
        EXPECT_EQ(device.modes[i].height, 480 + 4 * k) << "record " << i;
    }
    EXPECT_EQ(device.modes[kMaxDistinctModes].width, 0u) << "nothing is written past the kept modes";
}

TEST_F(EnumerateAdaptersTest, ModesOfFormatsBeyondTheTwentiethAreLeftOut) {
    fake::Adapter adapter;
    adapter.modes.clear();
    // The desktop format plus 24 more; only 19 of them fit beside it.
    for (int f = 0; f < 24; ++f)
        adapter.modes.push_back(Mode(800 + 10 * f, 600, 60, Format(100 + f)));
    adapter.modes.push_back(Mode(1920, 1080)); // the desktop's format is held from the start
    AddAdapter(adapter);

    ASSERT_TRUE(Enumerate());
    const DeviceRecord& device = found->adapters[0].devices[0];
    ASSERT_EQ(device.modeCount, 20u) << Describe(device);
    for (UINT f = 0; f < 19; ++f) {
        EXPECT_EQ(device.modes[f].width, 800 + 10 * f);
        EXPECT_EQ(device.modes[f].format, Format(100 + static_cast<int>(f)));
    }
    EXPECT_EQ(device.modes[19].width, 1920u);
    EXPECT_EQ(device.modes[19].format, D3DFMT_X8R8G8B8);
}

TEST_F(EnumerateAdaptersTest, TheDeviceRecordHoldsEveryKeptModeOfEveryConfirmedFormat) {
    // The fullest device possible: a hundred modes spread over twenty formats.
    fake::Adapter adapter;
    adapter.modes.clear();
    for (UINT i = 0; i < 140; ++i)
        adapter.modes.push_back(Mode(1000 + i, 700, 60, Format(22 + (i % 20))));
    AddAdapter(adapter);

    ASSERT_TRUE(Enumerate());
    const DeviceRecord& device = found->adapters[0].devices[0];
    EXPECT_EQ(device.modeCount, kMaxDistinctModes);
    EXPECT_LE(device.modeCount, kMaxModesPerDevice);
    EXPECT_EQ(device.modes[0].width, 1040u);
    EXPECT_EQ(device.modes[kMaxDistinctModes - 1].width, 1139u);
}

} // namespace
