// The render loop that both modes run: one world, a device per scene window,
// our own frame limiter, automatic detail, the frame counter, and the
// window messages of the thread pumped between frames.
#pragma once

#include "main_program/display/layout.h"
#include "main_program/render/detail_control.h"
#include "main_program/render/direct3d_win.h"
#include "main_program/render/fps_counter.h"
#include "main_program/render/frame_pacing.h"
#include "main_program/render/scene_device_win.h"
#include "main_program/scene/scene.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace main_program {

class TestStatePublisher;

struct LoopSettings {
    int antialiasing = 0;
    bool highQualityGraphics = false;
    bool highQualityTextures = false;
    bool showFps = false;
    int fontScaling = 50;
    double frameRateCap = 0;           // test tuning: 0, none
    std::uint64_t loseDeviceAtFrame = 0; // test tuning: 0, never
    std::uint64_t stallAtFrame = 0;      // test tuning: 0, never
};

class SceneLoop {
  public:
    // `d3d` may be null (no Direct3D 9): every window stays black.
    SceneLoop(const LoopSettings& settings, TestStatePublisher& testState, std::shared_ptr<render::Direct3D> d3d);
    ~SceneLoop();
    SceneLoop(const SceneLoop&) = delete;
    SceneLoop& operator=(const SceneLoop&) = delete;

    // The windows of `layout`, in its order (black ones too, for the test
    // state); devices are made for the scene windows. Replaces any before.
    void SetWindows(const display::Layout& layout, const std::vector<HWND>& windows,
                    const std::vector<display::Monitor>& monitors);
    // Whether any scene window has a working device.
    bool HasScene() const;

    // Stops rendering (the display is off) or resumes it.
    void SetPaused(bool paused);
    // Stops or resumes rendering in the window at `index` of the layout
    // alone (the wallpaper's monitor under a covering window).
    void SetWindowPaused(std::size_t index, bool paused);
    void SetOnBattery(bool onBattery);
    // New settings for the hardware-dependent defaults measured after the
    // first frame.
    void ApplyMeasuredSettings(int antialiasing, bool highGraphics, bool highTextures);

    // Called once, after the first frame was presented.
    void OnFirstFrame(std::function<void()> callback) { onFirstFrame_ = std::move(callback); }
    // Called with the world's events of each frame: where the audio hears the scene.
    void OnSceneEvents(std::function<void(const std::vector<scene::SceneEvent>&)> callback) {
        onEvents_ = std::move(callback);
    }

    // Pumps the thread's messages and renders frames at the limiter's pace
    // until `done` holds or WM_QUIT arrives.
    void Run(const std::function<bool()>& done);

  private:
    struct Window;
    bool Rendering() const;
    bool PumpMessages();
    void RenderFrame();
    void WaitForMessagesOr(double seconds);
    void UpdateRate();
    void Publish();

    LoopSettings settings_;
    TestStatePublisher& testState_;
    std::shared_ptr<render::Direct3D> d3d_;
    std::unique_ptr<scene::World> world_;
    std::vector<std::unique_ptr<Window>> windows_;
    display::Layout layout_;
    std::vector<std::uint32_t> refreshRates_;
    render::FrameLimiter limiter_{render::kMaxFrameRate};
    std::unique_ptr<render::DetailControl> detail_;
    render::FrameRateCounter counter_;
    HANDLE timer_ = nullptr;
    bool fineTimerPeriod_ = false;
    bool paused_ = false;
    bool onBattery_ = false;
    bool quit_ = false;
    std::uint64_t frames_ = 0;
    std::uint32_t layoutGeneration_ = 0;
    LARGE_INTEGER started_{};
    LARGE_INTEGER lastFrame_{};
    LARGE_INTEGER frequency_{};
    std::function<void()> onFirstFrame_;
    std::function<void(const std::vector<scene::SceneEvent>&)> onEvents_;
};

} // namespace main_program
