// The render loop.
#include "main_program/app/scene_loop_win.h"

#include "main_program/app/test_state_win.h"
#include "platform/debug_output_win.h"
#include "platform/library_win.h"
#include "settings/store/settings_schema.h"

#include <algorithm>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace main_program {

namespace {

// How long a frame whose devices are all being brought back waits.
constexpr double kRecoveryWaitSeconds = 0.1;

using TimerPeriod = platform::WinApiFunction<UINT, UINT>;

// The system timer's finer period, where no high-resolution waitable timer
// exists (before Windows 10 1803). Only while frames are rendered.
void SetFineTimerPeriod(bool on) {
    static const platform::Library winmm(L"winmm.dll");
    if (auto call = winmm.Function<TimerPeriod>(on ? "timeBeginPeriod" : "timeEndPeriod")) call(1);
}

// The processor's rated clock as the system records it: cheap, unlike a measurement.
std::uint32_t RecordedClockMhz() {
    DWORD mhz = 0, size = sizeof mhz;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", L"~MHz",
                     RRF_RT_REG_DWORD, nullptr, &mhz, &size) != ERROR_SUCCESS)
        return 0;
    return mhz;
}

double Seconds(LONGLONG ticks, const LARGE_INTEGER& frequency) {
    return static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

} // namespace

struct SceneLoop::Window {
    HWND handle = nullptr;
    display::WindowPlan plan;
    std::unique_ptr<render::SceneDevice> device;
    scene::View view;
    bool black = false;
    bool paused = false;
    std::uint64_t frames = 0;
};

SceneLoop::SceneLoop(const LoopSettings& settings, TestStatePublisher& testState,
                     std::shared_ptr<render::Direct3D> d3d)
    : settings_(settings), testState_(testState), d3d_(std::move(d3d)) {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&started_);
    timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (!timer_) {
        timer_ = CreateWaitableTimerW(nullptr, FALSE, nullptr);
        fineTimerPeriod_ = true;
        SetFineTimerPeriod(true);
    }
    if (!d3d_ || !*d3d_) platform::DebugLine(L"Direct3D 9 is not available; the screens stay black");
    UpdateRate();
}

SceneLoop::~SceneLoop() {
    windows_.clear();
    world_.reset();
    if (fineTimerPeriod_ && !paused_) SetFineTimerPeriod(false);
    if (timer_) CloseHandle(timer_);
}

void SceneLoop::SetWindows(const display::Layout& layout, const std::vector<HWND>& windows,
                           const std::vector<display::Monitor>& monitors) {
    windows_.clear();
    layout_ = layout;
    refreshRates_.clear();
    ++layoutGeneration_;
    if (!world_) {
        world_ = scene::World::Create(GetTickCount() ^ (GetCurrentProcessId() << 16));
        if (!world_) platform::DebugLine(L"the scene's world could not be made");
    }
    for (std::size_t i = 0; i < layout.windows.size() && i < windows.size(); ++i) {
        auto window = std::make_unique<Window>();
        window->handle = windows[i];
        window->plan = layout.windows[i];
        const auto& area = window->plan.area;
        window->view.canvas = {layout.canvas.left, layout.canvas.top, layout.canvas.right, layout.canvas.bottom};
        window->view.area = {area.left, area.top, area.right, area.bottom};
        window->view.pixelAspect = window->plan.pixelAspect;
        window->view.width = window->plan.width;
        window->view.height = window->plan.height;
        window->black = true;
        if (window->plan.role == display::Role::Scene) {
            const display::Monitor& monitor = monitors[window->plan.monitor];
            refreshRates_.push_back(monitor.refreshHz);
            if (world_ && d3d_ && *d3d_) {
                render::DeviceRequest request;
                request.window = window->handle;
                request.adapter = d3d_->AdapterOfMonitor(monitor.handle);
                request.width = window->plan.width;
                request.height = window->plan.height;
                request.antialiasing = settings_.antialiasing;
                request.showFps = settings_.showFps;
                window->device = render::SceneDevice::Create(*d3d_, *world_, request);
                if (!window->device) platform::DebugLine(L"a monitor stays black: no Direct3D device for it");
            }
        }
        windows_.push_back(std::move(window));
    }
    // Automatic detail starts where the front end's rules would put the
    // hardware: from the first device's memory, the recorded clock and the
    // primary screen's height, all cheap to ask.
    if (!detail_) {
        std::uint32_t memory = 0;
        for (const auto& window : windows_)
            if (window->device && !memory) memory = window->device->AvailableTextureMemory();
        const std::uint32_t mib = VideoMemoryMiB(memory);
        const auto height = static_cast<std::uint32_t>(GetSystemMetrics(SM_CYFULLSCREEN));
        detail_ = std::make_unique<render::DetailControl>(
            settings_.highQualityGraphics, settings_.highQualityTextures,
            render::StartingDetail(HighQualityGraphicsByDefault(mib, RecordedClockMhz()),
                                   HighQualityTexturesByDefault(mib, height)));
    }
    for (const auto& window : windows_) {
        if (window->device && !window->device->StartScene(detail_->Choice())) window->device.reset();
        window->black = !window->device;
    }
    UpdateRate();
    Publish();
}

bool SceneLoop::HasScene() const {
    return std::any_of(windows_.begin(), windows_.end(), [](const auto& w) { return static_cast<bool>(w->device); });
}

void SceneLoop::UpdateRate() {
    limiter_.SetRate(render::TargetFrameRate(refreshRates_, onBattery_, settings_.frameRateCap));
}

void SceneLoop::SetPaused(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    if (fineTimerPeriod_) SetFineTimerPeriod(!paused);
    if (!paused) limiter_.Restart();
    Publish();
}

void SceneLoop::SetWindowPaused(std::size_t index, bool paused) {
    if (index >= windows_.size() || windows_[index]->paused == paused) return;
    const bool wasRendering = Rendering();
    windows_[index]->paused = paused;
    if (!wasRendering && Rendering()) limiter_.Restart();
    Publish();
}

bool SceneLoop::Rendering() const {
    return !paused_ && std::any_of(windows_.begin(), windows_.end(),
                                   [](const auto& w) { return w->device && !w->paused; });
}

void SceneLoop::SetOnBattery(bool onBattery) {
    onBattery_ = onBattery;
    UpdateRate();
    Publish();
}

void SceneLoop::ApplyMeasuredSettings(int antialiasing, bool highGraphics, bool highTextures) {
    const bool detailChanged =
        highGraphics != settings_.highQualityGraphics || highTextures != settings_.highQualityTextures;
    const bool samplesChanged = antialiasing != settings_.antialiasing;
    settings_.antialiasing = antialiasing;
    settings_.highQualityGraphics = highGraphics;
    settings_.highQualityTextures = highTextures;
    if (detailChanged && detail_) {
        detail_ = std::make_unique<render::DetailControl>(highGraphics, highTextures, detail_->Choice());
        for (const auto& window : windows_)
            if (window->device) window->device->SetDetail(detail_->Choice());
    }
    if (samplesChanged)
        for (const auto& window : windows_)
            if (window->device) window->device->SetAntialiasing(antialiasing);
    Publish();
}

bool SceneLoop::PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit_ = true;
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

void SceneLoop::WaitForMessagesOr(double seconds) {
    if (seconds < 0) {
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        return;
    }
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(seconds * 1e7); // relative, in 100 ns
    if (due.QuadPart == 0) due.QuadPart = -1;
    if (!timer_ || !SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(seconds * 1000) + 1, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        return;
    }
    MsgWaitForMultipleObjectsEx(1, &timer_, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void SceneLoop::Run(const std::function<bool()>& done) {
    while (!quit_) {
        if (!PumpMessages() || done()) return;
        if (!Rendering()) {
            // Nothing to draw: only messages wake the thread.
            WaitForMessagesOr(-1);
            continue;
        }
        const auto wait = limiter_.WaitBeforeFrame(render::FrameLimiter::Clock::now());
        if (wait > render::FrameLimiter::Clock::duration::zero()) {
            WaitForMessagesOr(std::chrono::duration<double>(wait).count());
            continue;
        }
        limiter_.FrameStarted(render::FrameLimiter::Clock::now());
        RenderFrame();
    }
}

void SceneLoop::RenderFrame() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const double seconds = frames_ == 0 ? 0.0 : Seconds(now.QuadPart - lastFrame_.QuadPart, frequency_);
    lastFrame_ = now;
    const std::uint64_t frame = frames_ + 1;
    if (settings_.stallAtFrame && frame == settings_.stallAtFrame) {
        platform::DebugLine(L"test tuning: the window thread stops answering");
        if (auto write = TestStatePublisher::Write(testState_)) write->stalled = 1;
        for (;;) Sleep(INFINITE);
    }
    world_->Advance(seconds);
    std::vector<scene::SceneEvent> events = world_->TakeEvents();
    if (onEvents_ && !events.empty()) onEvents_(events);

    const std::string text = render::CounterText(counter_.Rate());
    bool presented = false, waiting = false;
    for (auto& window : windows_) {
        if (!window->device || window->paused) continue;
        if (settings_.loseDeviceAtFrame && frame == settings_.loseDeviceAtFrame) window->device->ReportLostOnce();
        const float pixel = render::CounterPixelSize(settings_.fontScaling, window->plan.dpi, window->plan.height,
                                             static_cast<std::uint32_t>(window->plan.area.bottom - window->plan.area.top));
        switch (window->device->Frame(window->view, settings_.showFps ? &text : nullptr, pixel)) {
        case render::FrameVerdict::Render:
            ++window->frames;
            presented = true;
            break;
        case render::FrameVerdict::Wait:
            waiting = true;
            break;
        case render::FrameVerdict::Black:
            window->device.reset();
            window->black = true;
            InvalidateRect(window->handle, nullptr, TRUE);
            break;
        }
    }
    ++frames_;
    LARGE_INTEGER after;
    QueryPerformanceCounter(&after);
    const double nowSeconds = Seconds(after.QuadPart - started_.QuadPart, frequency_);
    if (presented) {
        counter_.FrameShown(nowSeconds);
        if (detail_->FrameRendered(Seconds(after.QuadPart - now.QuadPart, frequency_), 1.0 / limiter_.Rate(),
                                   nowSeconds))
            for (const auto& window : windows_)
                if (window->device) window->device->SetDetail(detail_->Choice());
    }
    if (presented && onFirstFrame_) {
        if (auto write = TestStatePublisher::Write(testState_)) write->firstSceneFrameTicks = after.QuadPart;
        auto callback = std::move(onFirstFrame_);
        onFirstFrame_ = nullptr;
        callback();
    }
    if (waiting && !presented) WaitForMessagesOr(kRecoveryWaitSeconds);
    Publish();
}

void SceneLoop::Publish() {
    TestStatePublisher::Write state(testState_);
    if (!state) return;
    state->layoutGeneration = layoutGeneration_;
    state->windowCount = static_cast<std::uint32_t>(std::min<std::size_t>(windows_.size(), kMaxTestWindows));
    state->canvasLeft = layout_.canvas.left;
    state->canvasTop = layout_.canvas.top;
    state->canvasRight = layout_.canvas.right;
    state->canvasBottom = layout_.canvas.bottom;
    state->framesTotal = frames_;
    state->targetFrameRate = limiter_.Rate();
    if (detail_) {
        state->detailGeometry = static_cast<std::uint32_t>(detail_->Choice().geometry);
        state->detailTextures = static_cast<std::uint32_t>(detail_->Choice().textures);
    }
    state->displayOff = paused_;
    state->onBattery = onBattery_;
    state->antialiasingSetting = settings_.antialiasing;
    for (std::uint32_t i = 0; i < state->windowCount; ++i) {
        const Window& window = *windows_[i];
        TestWindowState& w = state->windows[i];
        w.left = window.plan.area.left;
        w.top = window.plan.area.top;
        w.right = window.plan.area.right;
        w.bottom = window.plan.area.bottom;
        w.role = static_cast<std::uint32_t>(window.plan.role == display::Role::Scene ? TestWindowRole::Scene
                                                                                    : TestWindowRole::Black);
        w.bufferWidth = window.plan.width;
        w.bufferHeight = window.plan.height;
        w.pixelAspect = window.plan.pixelAspect;
        w.frames = window.frames;
        w.black = window.black;
        w.paused = paused_ || window.paused;
        if (window.device) {
            w.adapter = window.device->Adapter();
            w.deviceKind = static_cast<std::uint32_t>(window.device->IsEx() ? TestDeviceKind::Direct3D9Ex
                                                                             : TestDeviceKind::Direct3D9);
            w.samples = static_cast<std::uint32_t>(window.device->Samples());
            w.recoveries = static_cast<std::uint32_t>(window.device->Recoveries());
        } else {
            w.adapter = -1;
            w.deviceKind = static_cast<std::uint32_t>(TestDeviceKind::None);
            w.samples = 0;
        }
    }
}

} // namespace main_program
