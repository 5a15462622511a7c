// The defaults of the settings and the three hardware rules, for machines
// chosen by their video memory, clock and screen height.
#include "hardware/hardware_probe.h"
#include "settings/store/settings_schema.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr std::uint32_t MiB(std::uint32_t mib) { return mib << 20; }

struct Machine {
    const char* what;
    std::uint32_t bytes;
    std::int32_t mhz;
    std::int32_t height;
    int textures, graphics, antialiasing;
};

// Each row: a machine, then the expected HighQualityTextures,
// HighQualityGraphics and Antialiasing defaults.
const Machine kMachines[] = {
    {"512 MiB, 2500 MHz, 1017 px", MiB(512), 2500, 1017, 1, 1, 0},
    {"exactly 400 MiB, fast and tall", MiB(400), 4000, 1440, 0, 0, 0},
    {"401 MiB, fast and tall", MiB(401), 4000, 1440, 1, 1, 0},
    {"one byte short of 401 MiB truncates to 400", MiB(401) - 1, 4000, 1440, 0, 0, 0},
    {"exactly 2500 MiB, 3001 MHz", MiB(2500), 3001, 1440, 1, 1, 1},
    {"exactly 2500 MiB, 3000 MHz", MiB(2500), 3000, 1440, 1, 1, 0},
    {"2499 MiB, 3001 MHz", MiB(2499), 3001, 1440, 1, 1, 0},
    {"2000 MHz is not above 2000", MiB(1024), 2000, 1440, 1, 0, 0},
    {"2001 MHz", MiB(1024), 2001, 1440, 1, 1, 0},
    {"height exactly 1000", MiB(1024), 2500, 1000, 0, 1, 0},
    {"height 1001", MiB(1024), 2500, 1001, 1, 1, 0},
    {"video memory unknown", 0, 4000, 1440, 0, 0, 0},
    {"everything unknown", 0, 0, 0, 0, 0, 0},
    // AdapterRAM is 32 bits: the most there is, 4 GiB less one byte, is 4095 MiB.
    {"largest 32-bit byte count", std::numeric_limits<std::uint32_t>::max(), 3001, 1035, 1, 1, 1},
    // The clock is compared as unsigned: beyond 2^31 it is not negative.
    {"clock beyond the signed range", MiB(2500), std::numeric_limits<std::int32_t>::min(), 1440, 1, 1, 1},
    {"height beyond the signed range", MiB(512), 2500, -1, 1, 1, 0},
};

TEST(SettingsDefaults, HardwareRulesOnEveryBoundary) {
    for (const Machine& m : kMachines) {
        FixedHardware hardware(m.bytes, m.mhz, m.height);
        ScopedHardware scope(hardware);
        Node tree;
        SetDefaults(tree);
        EXPECT_EQ(tree.Get(setting::kHighQualityTextures).AsInt(), m.textures) << m.what;
        EXPECT_EQ(tree.Get(setting::kHighQualityGraphics).AsInt(), m.graphics) << m.what;
        EXPECT_EQ(tree.Get(setting::kAntialiasing).AsInt(), m.antialiasing) << m.what;
    }
}

TEST(SettingsDefaults, RulesCompareTheirOwnFactsOnly) {
    // Textures ignore the clock, graphics and antialiasing ignore the height.
    EXPECT_TRUE(HighQualityTexturesByDefault(401, 1001));
    EXPECT_FALSE(HighQualityTexturesByDefault(401, 1000));
    EXPECT_TRUE(HighQualityGraphicsByDefault(401, 2001));
    EXPECT_FALSE(HighQualityGraphicsByDefault(400, 2001));
    EXPECT_TRUE(AntialiasingByDefault(2500, 3001));
    EXPECT_FALSE(AntialiasingByDefault(2499, 0xFFFFFFFFu));
    EXPECT_EQ(VideoMemoryMiB(0xFFFFFFFFu), 4095u);
    EXPECT_EQ(VideoMemoryMiB(MiB(400) + 0xFFFFFu), 400u);
}

TEST(SettingsDefaults, SetsEverySettingThatHasADefaultAndNothingElse) {
    const struct {
        const wchar_t* name;
        std::int32_t value;
    } expected[] = {
        {setting::kHighQualityTextures, 1},    {setting::kEnableMultiMonitorMode, 1},
        {setting::kShowBlackScreens, 1},       {setting::kShowFPS, 0},
        {setting::kDisableOnMouseActivate, 1}, {setting::kMusicVolumePercentage, 15},
        {setting::kDisableMusic, 0},           {setting::kSoundsVolumePercentage, 100},
        {setting::kDisableSound, 0},           {setting::kMonitorAspectRatio, 4},
        {setting::kUseDesktopRes, 1},          {setting::kUsePlaylist, 0},
        {setting::kHighQualityGraphics, 1},    {setting::kFontScaling, 50},
        {setting::kAntialiasing, 1},           {setting::kShufflePlayList, 1},
    };
    Node tree;
    SetDefaults(tree, HardwareFacts{MiB(3000), 3500, 1200});
    EXPECT_EQ(tree.GetEntries().size(), std::size(expected));
    for (const auto& e : expected) {
        EXPECT_TRUE(tree.Has(e.name, Node::Kind::Int)) << testing::PrintToString(std::wstring(e.name));
        EXPECT_EQ(tree.Get(e.name).AsInt(), e.value) << testing::PrintToString(std::wstring(e.name));
    }
    EXPECT_FALSE(tree.Has(setting::kCurMonitor, Node::Kind::Int)) << "CurMonitor has no default";
}

TEST(SettingsDefaults, OverwriteTheSettingsButKeepOtherEntries) {
    Node tree;
    tree.Get(setting::kMusicVolumePercentage) = std::int32_t{80};
    tree.Get(setting::kDisableSound) = std::wstring(L"text"); // another kind under a setting's name
    tree.Get(setting::kHighQualityTextures) = std::int32_t{1};
    tree.Get(setting::kCurMonitor) = std::int32_t{2};
    tree.Get(L"Language") = std::wstring(L"de");

    SetDefaults(tree, HardwareFacts{0, 0, 0});
    EXPECT_EQ(tree.Get(setting::kMusicVolumePercentage).AsInt(), 15);
    EXPECT_TRUE(tree.Has(setting::kDisableSound, Node::Kind::Int));
    EXPECT_EQ(tree.Get(setting::kDisableSound).AsInt(), 0);
    EXPECT_EQ(tree.Get(setting::kHighQualityTextures).AsInt(), 0) << "an unknown machine gets no high-quality textures";
    EXPECT_EQ(tree.Get(setting::kCurMonitor).AsInt(), 2);
    EXPECT_EQ(tree.Get(L"Language").AsText(), L"de");
}

TEST(SettingsDefaults, MeasureTheHardwareAtEveryCallUnlessItCannotBeMeasured) {
    // Without facts given, each call measures: a changed machine gives changed defaults.
    FixedHardware slow(MiB(256), 1500, 768);
    FixedHardware fast(MiB(4000), 3600, 1440);
    Node tree;
    {
        ScopedHardware scope(slow);
        SetDefaults(tree);
    }
    EXPECT_EQ(slow.Queries(), 3) << "video memory, clock and height, each once";
    EXPECT_EQ(tree.Get(setting::kAntialiasing).AsInt(), 0);
    {
        ScopedHardware scope(fast);
        SetDefaults(tree);
    }
    EXPECT_EQ(fast.Queries(), 3);
    EXPECT_EQ(tree.Get(setting::kAntialiasing).AsInt(), 1);

    // A library the measurements need cannot be had: nothing is asked, and
    // the defaults are those of unknown hardware.
    struct Unmeasurable final : HardwareProbe {
        bool CanMeasure() override { return false; }
        std::uint32_t VideoMemoryBytes() override { return ++asked, MiB(4000); }
        std::int32_t ProcessorClockMhz() override { return ++asked, 3600; }
        std::int32_t FullScreenHeight() override { return ++asked, 1440; }
        int asked = 0;
    } unmeasurable;
    {
        ScopedHardware scope(unmeasurable);
        SetDefaults(tree);
    }
    EXPECT_EQ(unmeasurable.asked, 0);
    EXPECT_EQ(tree.Get(setting::kAntialiasing).AsInt(), 0);
    EXPECT_EQ(tree.Get(setting::kHighQualityTextures).AsInt(), 0);
}

} // namespace
