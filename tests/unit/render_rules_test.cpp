// The render loop's rules: the multisample count, the frame rate and its
// limiter, automatic detail, the frame counter and its font, and bringing a
// lost device back (through the device seam).
#include "main_program/render/antialiasing.h"
#include "main_program/render/detail_control.h"
#include "main_program/render/device_recovery.h"
#include "main_program/render/fps_counter.h"
#include "main_program/render/frame_pacing.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {


TEST(Antialiasing, TheSettingPicksASupportedCount) {
    const struct {
        int setting;
        std::vector<int> supported;
        int samples;
    } cases[] = {
        {0, {2, 4, 8}, 0},
        {1, {2, 4, 8}, 2},        // "on": the settings list's top entry
        {1, {2, 4, 8, 16}, 16},   // "16x" sorts above "2x"
        {-5, {4, 8}, 4},          // negative values mean "on" too
        {1, {}, 0},               // nothing supported: off
        {4, {2, 4, 8}, 4},
        {6, {2, 4, 8}, 4},        // the highest supported below
        {3, {4, 8}, 0},           // none at or below: off
        {16, {2, 4}, 4},
        {2, {2}, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(render::ChooseSampleCount(c.setting, c.supported), c.samples)
            << "setting " << c.setting << " over " << testing::PrintToString(c.supported);
}

TEST(FramePacing, TargetsTheFastestShownMonitorWithinTheCaps) {
    const struct {
        std::vector<std::uint32_t> rates;
        bool battery;
        double testCap;
        double target;
    } cases[] = {
        {{60}, false, 0, 60},   {{50, 75}, false, 0, 60}, {{48, 50}, false, 0, 50}, {{144}, false, 0, 60},
        {{0}, false, 0, 60},    {{1}, false, 0, 60},      {{}, false, 0, 60},       {{0, 30}, false, 0, 30},
        {{60}, true, 0, 30},    {{24}, true, 0, 24},      {{60}, false, 5, 5},      {{60}, true, 45, 30},
    };
    for (const auto& c : cases)
        EXPECT_EQ(render::TargetFrameRate(c.rates, c.battery, c.testCap), c.target)
            << testing::PrintToString(c.rates) << (c.battery ? " on battery" : "") << " cap " << c.testCap;
}

TEST(FramePacing, TheLimiterHoldsTheRateAndNeverRushes) {
    using Clock = render::FrameLimiter::Clock;
    render::FrameLimiter limiter(50); // 20 ms
    Clock::time_point t{};
    t += std::chrono::seconds(1);
    EXPECT_EQ(limiter.WaitBeforeFrame(t), Clock::duration::zero()) << "the first frame starts at once";
    limiter.FrameStarted(t);
    // A frame of 5 ms: wait out the rest of the period.
    EXPECT_EQ(limiter.WaitBeforeFrame(t + std::chrono::milliseconds(5)), std::chrono::milliseconds(15));
    // Started 2 ms late: the next deadline keeps to the grid, so 100 frames take 2 s.
    limiter.FrameStarted(t + std::chrono::milliseconds(22));
    EXPECT_EQ(limiter.WaitBeforeFrame(t + std::chrono::milliseconds(22)), std::chrono::milliseconds(18));
    Clock::time_point now = t + std::chrono::milliseconds(40);
    int frames = 2;
    while (now < t + std::chrono::seconds(2)) {
        now += limiter.WaitBeforeFrame(now);
        limiter.FrameStarted(now);
        ++frames;
        now += std::chrono::milliseconds(1); // a quick frame
    }
    EXPECT_EQ(frames, 101);
    // A frame far too slow (no vertical sync, a slow machine): the next waits
    // a whole period from now instead of running several at once.
    limiter.FrameStarted(now);
    const Clock::time_point late = now + std::chrono::milliseconds(500);
    limiter.FrameStarted(late);
    EXPECT_EQ(limiter.WaitBeforeFrame(late), std::chrono::milliseconds(20));
    // After a pause the first frame starts at once.
    limiter.Restart();
    EXPECT_EQ(limiter.WaitBeforeFrame(late + std::chrono::milliseconds(1)), Clock::duration::zero());
}

std::string Show(scene::DetailChoice d) {
    return std::to_string(static_cast<int>(d.geometry)) + "/" + std::to_string(static_cast<int>(d.textures));
}

// Frames of `work` seconds each at 30 frames per second, from `start` for
// `seconds`; the choices made on the way, as "geometry/textures" tiers.
double Feed(render::DetailControl& control, double start, double seconds, double work, std::string* changes) {
    const double period = 1.0 / 30;
    const auto frames = static_cast<int>(seconds / period);
    for (int frame = 0; frame < frames; ++frame)
        if (control.FrameRendered(work, period, start + frame * period)) *changes += Show(control.Choice()) + " ";
    return start + frames * period;
}

TEST(DetailControl, AutomaticDetailFollowsTheFrameTimeWithoutSwinging) {
    render::DetailControl control(false, false, render::StartingDetail(true, true));
    EXPECT_EQ(Show(control.Choice()), "2/2");
    std::string changes;
    double now = Feed(control, 0, 10, 0.005, &changes);
    EXPECT_EQ(changes, "") << "comfortable frames change nothing";
    // Overloaded: geometry gives way first, one tier at a time, then textures.
    now = Feed(control, now, 15, 0.032, &changes);
    EXPECT_EQ(changes, "1/2 0/2 0/1 0/0 ");
    // Relaxed again: textures come back to where they started; geometry stays
    // below the tiers that proved too slow for a minute, then tries them again.
    changes.clear();
    now = Feed(control, now, 30, 0.002, &changes);
    EXPECT_EQ(changes, "0/1 0/2 ");
    changes.clear();
    Feed(control, now, 60, 0.002, &changes);
    EXPECT_EQ(changes, "1/2 2/2 ");
}

TEST(DetailControl, TheHighSettingsHoldTheHighTier) {
    render::DetailControl both(true, true, render::StartingDetail(false, false));
    std::string changes;
    EXPECT_EQ(Show(both.Choice()), "2/2");
    Feed(both, 0, 20, 0.1, &changes);
    EXPECT_EQ(changes, "");
    // High geometry held: textures alone give way.
    render::DetailControl geometry(true, false, render::StartingDetail(false, false));
    EXPECT_EQ(Show(geometry.Choice()), "2/1");
    Feed(geometry, 0, 10, 0.1, &changes);
    EXPECT_EQ(changes, "2/0 ");
    // Without the rules' blessing automatic detail starts in the middle.
    EXPECT_EQ(Show(render::StartingDetail(false, false)), "1/1");
}

TEST(FrameCounter, CountsTheRateAndSpellsItInItsOwnFont) {
    render::FrameRateCounter counter;
    EXPECT_EQ(counter.Rate(), 0);
    for (int frame = 0; frame <= 30; ++frame) counter.FrameShown(10.0 + frame / 60.0);
    EXPECT_EQ(counter.Rate(), 60);
    EXPECT_EQ(render::CounterText(60), "60 FPS");

    // Every character the counter writes has a glyph of its own.
    const std::vector<std::uint8_t> atlas = render::FontAtlas();
    std::set<std::vector<std::uint8_t>> glyphs;
    for (std::size_t c = 0; c + 1 < sizeof render::kFontCharacters; ++c) {
        std::vector<std::uint8_t> glyph;
        for (int y = 0; y < render::kGlyphHeight; ++y)
            for (int x = 0; x < render::kGlyphWidth; ++x)
                glyph.push_back(atlas[static_cast<std::size_t>(y) * render::kFontAtlasWidth +
                                      c * (render::kGlyphWidth + 1) + static_cast<std::size_t>(x)]);
        EXPECT_NE(std::count(glyph.begin(), glyph.end(), 255), 0) << "character " << render::kFontCharacters[c];
        glyphs.insert(glyph);
    }
    EXPECT_EQ(glyphs.size(), sizeof render::kFontCharacters - 1) << "two characters look alike";
    // The cells keep a blank column between glyphs.
    for (int y = 0; y < render::kFontAtlasHeight; ++y)
        EXPECT_EQ(atlas[static_cast<std::size_t>(y) * render::kFontAtlasWidth + render::kGlyphWidth], 0);

    const std::vector<render::GlyphQuad> quads = render::LayOutText("60 FPS", 10, 20, 2);
    ASSERT_EQ(quads.size(), 5u); // the blank only advances
    EXPECT_FLOAT_EQ(quads[0].left, 10);
    EXPECT_FLOAT_EQ(quads[0].bottom, 20 + 7 * 2);
    EXPECT_FLOAT_EQ(quads[2].left, 10 + 3 * 6 * 2); // "F" after "6", "0" and the blank
    EXPECT_FLOAT_EQ(quads[2].u0 * render::kFontAtlasWidth, 10 * 6);
}

TEST(FrameCounter, GrowsLinearlyWithFontScalingAndTheMonitorsDpi) {
    const struct {
        int fontScaling;
        std::uint32_t dpi, buffer, monitor;
        float pixel;
    } cases[] = {
        {50, 96, 1080, 1080, 2},  {100, 96, 1080, 1080, 4}, {25, 96, 1080, 1080, 1}, {50, 192, 2160, 2160, 4},
        {50, 144, 1080, 1080, 3}, {50, 96, 540, 1080, 1},   {10, 96, 1080, 1080, 0.4f},
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(render::CounterPixelSize(c.fontScaling, c.dpi, c.buffer, c.monitor), c.pixel)
            << "FontScaling " << c.fontScaling << " at " << c.dpi << " DPI, buffer " << c.buffer << " of " << c.monitor;
}

// A device that answers from a script and writes down what is done to it.
class ScriptedDevice final : public render::DeviceRecoveryCalls {
  public:
    std::vector<render::DeviceState> states; // one per look; Ready after the last
    bool resetWorks = true, restoreWorks = true, recreateWorks = true;
    std::string calls;

    render::DeviceState State() override {
        if (look_ >= states.size()) return render::DeviceState::Ready;
        return states[look_++];
    }
    void ReleaseDefaultPool() override { calls += "release "; }
    bool Reset() override {
        calls += "reset ";
        return resetWorks;
    }
    bool RestoreDefaultPool() override {
        calls += "restore ";
        return restoreWorks;
    }
    bool Recreate() override {
        calls += "recreate ";
        return recreateWorks;
    }

  private:
    std::size_t look_ = 0;
};

std::string Verdicts(render::DeviceRecovery& recovery, ScriptedDevice& device, int frames) {
    std::string out;
    for (int i = 0; i < frames; ++i) {
        switch (recovery.BeforeFrame(device)) {
        case render::FrameVerdict::Render: out += "R"; break;
        case render::FrameVerdict::Wait: out += "w"; break;
        case render::FrameVerdict::Black: out += "B"; break;
        }
    }
    return out;
}

TEST(LostDevice, EveryDefaultPoolResourceIsReleasedBeforeTheResetAndMadeAfterIt) {
    using S = render::DeviceState;
    const struct {
        const char* name;
        std::vector<S> states;
        bool resetWorks, restoreWorks, recreateWorks;
        const char* verdicts;
        const char* calls;
        int recoveries;
    } cases[] = {
        {"ready", {}, true, true, true, "RRR", "", 0},
        {"lost, then resettable", {S::Lost, S::Lost, S::NeedsReset}, true, true, true, "wwRR",
         "release reset restore ", 1},
        {"a reset that fails is tried again, resources released once",
         {S::NeedsReset, S::NeedsReset, S::NeedsReset}, false, true, true, "www",
         "release reset reset reset ", 0},
        {"resources that cannot be made again are released and made later",
         {S::NeedsReset}, true, false, true, "www", "release reset restore release restore release restore release ",
         0},
        {"a removed device is made anew", {S::Removed}, true, true, true, "RR", "release recreate ", 1},
        {"a device that cannot be made anew leaves the window black",
         {S::Removed, S::Removed, S::Removed, S::Removed}, true, true, false, "wwBB",
         "release recreate recreate recreate ", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDevice device;
        device.states = c.states;
        device.resetWorks = c.resetWorks;
        device.restoreWorks = c.restoreWorks;
        device.recreateWorks = c.recreateWorks;
        render::DeviceRecovery recovery;
        const int frames = static_cast<int>(std::string(c.verdicts).size());
        EXPECT_EQ(Verdicts(recovery, device, frames), c.verdicts);
        EXPECT_EQ(device.calls, c.calls);
        EXPECT_EQ(recovery.Recoveries(), c.recoveries);
    }
}

TEST(LostDevice, APresentThatFindsTheDeviceRemovedMakesItAnew) {
    ScriptedDevice device;
    render::DeviceRecovery recovery;
    EXPECT_EQ(Verdicts(recovery, device, 1), "R");
    recovery.Reported(render::DeviceState::Removed); // the device still says "ready"
    EXPECT_EQ(Verdicts(recovery, device, 2), "RR");
    EXPECT_EQ(device.calls, "release recreate ");
}

} // namespace
