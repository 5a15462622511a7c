// The animated wallpaper mode.
#include "main_program/app/wallpaper_mode_win.h"

#include "hardware/display_adapters.h"
#include "main_program/app/program_names.h"
#include "main_program/app/scene_loop_win.h"
#include "main_program/app/test_state_win.h"
#include "main_program/audio/audio_engine.h"
#include "main_program/desktop/desktop_placement_win.h"
#include "main_program/desktop/elevation_win.h"
#include "main_program/desktop/live_settings.h"
#include "main_program/desktop/pause_detectors_win.h"
#include "main_program/desktop/product_key_watch_win.h"
#include "main_program/desktop/stop_wallpaper_win.h"
#include "main_program/display/layout.h"
#include "platform/background_task.h"
#include "platform/com_objects_win.h"
#include "platform/debug_output_win.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace main_program {

namespace {

// The place, the pause and the product key are looked at this often: a
// pause ends within two periods of its cause.
constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT kWatchMilliseconds = 250;
constexpr UINT_PTR kMeasurementTimer = 2;
constexpr UINT kMeasurementPollMilliseconds = 250;
// A background: it need not move faster.
constexpr double kWallpaperFrameRate = 30.0;
// How long the start waits for Direct3D 9 to be set up before it takes a
// driver that does not answer for none.
constexpr auto kDirect3DBound = std::chrono::seconds(20);
constexpr DWORD kStopWaitMilliseconds = 10000;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

desktop::LiveSettings LiveOf(const ProgramSettings& s) {
    desktop::LiveSettings live;
    live.musicVolume = s.musicVolume;
    live.musicEnabled = s.musicEnabled;
    live.soundsVolume = s.soundsVolume;
    live.soundsEnabled = s.soundsEnabled;
    live.antialiasing = desktop::AntialiasingRequest(s.antialiasing);
    live.highQualityGraphics = s.highQualityGraphics ? 1 : 0;
    live.highQualityTextures = s.highQualityTextures ? 1 : 0;
    return live;
}

void StoreLive(const desktop::LiveSettings& live, ProgramSettings& s) {
    s.musicVolume = live.musicVolume;
    s.musicEnabled = live.musicEnabled;
    s.soundsVolume = live.soundsVolume;
    s.soundsEnabled = live.soundsEnabled;
    s.antialiasing = live.antialiasing;
    s.highQualityGraphics = live.highQualityGraphics != 0;
    s.highQualityTextures = live.highQualityTextures != 0;
}

// The settings that decide which windows there are and what they hold.
bool SameLayout(const ProgramSettings& a, const ProgramSettings& b) {
    return a.multiMonitor == b.multiMonitor && a.curMonitor == b.curMonitor &&
           a.useDesktopResolution == b.useDesktopResolution && a.monitorAspectRatio == b.monitorAspectRatio;
}

// The monitor CurMonitor names, counted as the settings dialog lists them.
std::size_t ChosenMonitor(const ProgramSettings& settings, const std::vector<display::Monitor>& monitors) {
    if (settings.multiMonitor || monitors.size() < 2) return display::PrimaryMonitor(monitors);
    auto found = std::make_unique<AdapterEnumeration>();
    std::vector<display::Monitor> records;
    if (EnumerateAdapters(*found))
        for (UINT i = 0; i < found->monitorCount; ++i) {
            display::Monitor record;
            record.area = found->monitors[i].area;
            record.handle = found->monitors[i].monitor;
            records.push_back(record);
        }
    return display::ChooseMonitor(settings.curMonitor, records, monitors);
}

class Wallpaper;
Wallpaper* g_wallpaper = nullptr;
LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class Wallpaper {
  public:
    Wallpaper(const SettingsAtStart& start, const TestTuning& tuning)
        : settings_(start.settings), missing_(start.missing), tuning_(tuning) {}

    int Run();
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    static bool RegisterClasses();
    void BuildWindows();
    void DestroyWindows();
    void Watch();
    void DecidePause();
    void ApplyLive(WPARAM code, LPARAM value);
    void ReadSettingsAgain();
    void ApplyRenderSettings();
    void FirstFrame();
    void MeasurementDone();
    void PublishSettings();
    void MakeLoop();

    ProgramSettings settings_;
    MissingHardwareSettings missing_;
    std::optional<HardwareFacts> measured_;
    TestTuning tuning_;
    TestStatePublisher testState_;
    const UINT liveMessage_ = RegisterWindowMessageW(kWallpaperMessageName);
    const UINT taskbarCreated_ = desktop::TaskbarCreatedMessage();
    HWND control_ = nullptr;
    std::vector<HWND> windows_;
    std::vector<RECT> areas_;
    desktop::DesktopPlacement placement_;
    std::unique_ptr<SceneLoop> loop_;
    std::unique_ptr<desktop::SessionDetectors> detectors_;
    desktop::ProductKeyWatch keyWatch_;
    platform::BackgroundTask<HardwareFacts> measurement_;
    platform::BackgroundTask<std::shared_ptr<render::Direct3D>> direct3d_;
    bool relayout_ = false;
    bool ending_ = false;
    bool destroying_ = false;
    std::unique_ptr<audio::AudioEngine> audio_;
    bool audioPaused_ = false;
    std::uint32_t liveChanges_ = 0;
    std::uint32_t settingsReads_ = 0;
};

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_wallpaper) return g_wallpaper->Handle(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

bool Wallpaper::RegisterClasses() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = Instance();
    // The desktop's own pointer: the wallpaper never hides or takes it.
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kWallpaperWindowClass;
    if (!RegisterClassExW(&windowClass)) return false;
    windowClass.hbrBackground = nullptr;
    windowClass.lpszClassName = kWallpaperControlClass;
    return RegisterClassExW(&windowClass) != 0;
}

void Wallpaper::BuildWindows() {
    placement_.Find();
    const std::vector<display::Monitor> monitors = display::ListMonitors();
    display::LayoutSettings layoutSettings;
    layoutSettings.multiMonitor = settings_.multiMonitor;
    // Monitors without the scene keep their own wallpaper.
    layoutSettings.showBlackScreens = false;
    layoutSettings.useDesktopResolution = settings_.useDesktopResolution;
    layoutSettings.monitorAspectRatio = settings_.monitorAspectRatio;
    layoutSettings.maxRenderSide = tuning_.maxRenderSide;
    display::Layout layout = display::PlanLayout(monitors, ChosenMonitor(settings_, monitors), layoutSettings);

    for (const display::WindowPlan& plan : layout.windows) {
        const RECT& r = plan.area;
        HWND window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kWallpaperWindowClass,
                                      L"Sorvane 3D Screensaver", WS_POPUP, r.left, r.top, r.right - r.left,
                                      r.bottom - r.top, nullptr, nullptr, Instance(), nullptr);
        if (!window) {
            platform::DebugLine(L"a wallpaper window could not be made", HRESULT_FROM_WIN32(GetLastError()));
            continue;
        }
        desktop::AcceptFromAnyProcess(window, liveMessage_);
        windows_.push_back(window);
        areas_.push_back(r);
    }
    bool placed = true;
    for (std::size_t i = 0; i < windows_.size(); ++i) placed = placement_.Place(windows_[i], areas_[i]) && placed;
    if (!placed && placement_.HostAlive()) {
        // The shell refused our windows: they stay at the bottom on their own.
        platform::DebugLine(L"the desktop shell refused the wallpaper's windows");
        placement_.UseBottomMost();
        for (std::size_t i = 0; i < windows_.size(); ++i) placement_.Place(windows_[i], areas_[i]);
    }
    for (std::size_t i = 0; i < windows_.size() && i < layout.windows.size(); ++i)
        layout.windows[i].dpi = display::WindowDpi(windows_[i], layout.windows[i].dpi);
    if (windows_.size() == layout.windows.size()) {
        loop_->SetWindows(layout, windows_, monitors);
    } else {
        // A window missing: no scene at all rather than a scene out of place.
        loop_->SetWindows(display::Layout{}, {}, monitors);
    }
    DecidePause();
    PublishSettings();
}

void Wallpaper::DestroyWindows() {
    destroying_ = true;
    // Gone from the screen at once; the devices take a moment to let go.
    for (HWND window : windows_) ShowWindow(window, SW_HIDE);
    if (loop_) loop_->SetWindows(display::Layout{}, {}, {});
    for (HWND window : windows_)
        if (IsWindow(window)) DestroyWindow(window);
    windows_.clear();
    areas_.clear();
    destroying_ = false;
}

void Wallpaper::Watch() {
    // The shell ended and took our windows with it: they are made again, in
    // whatever place the desktop offers now.
    if (!placement_.HostAlive() || std::any_of(windows_.begin(), windows_.end(), [](HWND w) { return !IsWindow(w); }))
        relayout_ = true;
    if (placement_.Kind() == desktop::Placement::BottomMost)
        for (HWND window : windows_) desktop::KeepAtBottom(window);
    if (keyWatch_.Changed(GetTickCount64())) ReadSettingsAgain();
    DecidePause();
    if (audio_) PublishAudio(testState_, *audio_);
}

void Wallpaper::DecidePause() {
    const desktop::PauseDecision decision = desktop::DecidePause(
        areas_, desktop::VisibleTopLevelWindows(), detectors_ ? detectors_->Facts() : desktop::SessionFacts{});
    for (std::size_t i = 0; i < decision.monitorPaused.size() && loop_; ++i)
        loop_->SetWindowPaused(i, decision.monitorPaused[i]);
    if (decision.audioPaused == audioPaused_) return;
    audioPaused_ = decision.audioPaused;
    // Every monitor paused (covered, the display off, the session locked...):
    // the output device is let go too.
    if (audio_) audio_->SetPaused(audioPaused_);
    PublishSettings();
}

void Wallpaper::ApplyLive(WPARAM code, LPARAM value) {
    ++liveChanges_;
    desktop::LiveSettings live = LiveOf(settings_);
    const desktop::LiveEffect effect = desktop::ApplyLiveChange(live, code, value);
    StoreLive(live, settings_);
    // A posted value stands over what the hardware would have chosen.
    if (code == kWallpaperHighQualityGraphics) missing_.graphics = false;
    if (code == kWallpaperHighQualityTextures) missing_.textures = false;
    if (code == kWallpaperAntialiasing) missing_.antialiasing = false;
    if (effect == desktop::LiveEffect::Antialiasing || effect == desktop::LiveEffect::HighQualityGraphics ||
        effect == desktop::LiveEffect::HighQualityTextures)
        ApplyRenderSettings();
    // Codes 1 to 4: the audio ramps to the new level at once.
    if (audio_) {
        switch (effect) {
        case desktop::LiveEffect::MusicVolume:
            audio_->SetMusicVolume(settings_.musicVolume);
            break;
        case desktop::LiveEffect::MusicEnabled:
            audio_->SetMusicEnabled(settings_.musicEnabled);
            break;
        case desktop::LiveEffect::SoundsVolume:
            audio_->SetSoundsVolume(settings_.soundsVolume);
            break;
        case desktop::LiveEffect::SoundsEnabled:
            audio_->SetSoundsEnabled(settings_.soundsEnabled);
            break;
        default:
            break;
        }
    }
    PublishSettings();
}

void Wallpaper::ReadSettingsAgain() {
    ++settingsReads_;
    const SettingsAtStart again = ReadSettingsAtStart();
    const ProgramSettings before = settings_;
    settings_ = again.settings;
    missing_ = again.missing;
    if (measured_) ApplyHardwareDefaults(settings_, missing_, *measured_);
    if (!SameLayout(before, settings_)) relayout_ = true;
    ApplyRenderSettings();
    // The music, sounds and playlist as saved (a new list starts anew).
    if (audio_) audio_->Apply(AudioSettingsOf(settings_));
    PublishSettings();
}

void Wallpaper::ApplyRenderSettings() {
    if (loop_)
        loop_->ApplyMeasuredSettings(settings_.antialiasing, settings_.highQualityGraphics, settings_.highQualityTextures);
}

void Wallpaper::FirstFrame() {
    // As the screensaver does: the hardware is measured only now, and only
    // when a setting that depends on it is missing.
    if (!missing_.Any() || measurement_.Started()) return;
    measurement_ = platform::BackgroundTask<HardwareFacts>::Start([] { return MeasureHardware(); },
                                                                 platform::ThreadEnd::StaysUntilProcessEnds);
    SetTimer(control_, kMeasurementTimer, kMeasurementPollMilliseconds, nullptr);
}

void Wallpaper::MeasurementDone() {
    if (measured_ || !measurement_.Done()) return;
    KillTimer(control_, kMeasurementTimer);
    const HardwareFacts* facts = measurement_.WaitUntil(platform::BackgroundTask<HardwareFacts>::Clock::now());
    if (!facts) return;
    measured_ = *facts;
    ApplyHardwareDefaults(settings_, missing_, *facts);
    ApplyRenderSettings();
    if (auto write = TestStatePublisher::Write(testState_)) write->hardwareMeasured = 1;
    PublishSettings();
}

void Wallpaper::MakeLoop() {
    LoopSettings loopSettings;
    loopSettings.antialiasing = settings_.antialiasing;
    loopSettings.highQualityGraphics = settings_.highQualityGraphics;
    loopSettings.highQualityTextures = settings_.highQualityTextures;
    loopSettings.showFps = settings_.showFps;
    loopSettings.fontScaling = settings_.fontScaling;
    loopSettings.frameRateCap =
        tuning_.frameRateCap > 0 ? std::min(tuning_.frameRateCap, kWallpaperFrameRate) : kWallpaperFrameRate;
    loopSettings.loseDeviceAtFrame = tuning_.loseDeviceAtFrame;
    loopSettings.stallAtFrame = tuning_.stallAtFrame;
    loop_ = std::make_unique<SceneLoop>(loopSettings, testState_, [this]() -> std::shared_ptr<render::Direct3D> {
        const auto* d3d = direct3d_.WaitUntil(std::chrono::steady_clock::now() + kDirect3DBound);
        if (!d3d) platform::DebugLine(L"Direct3D 9 did not answer in time; the wallpaper stays black");
        return d3d ? *d3d : nullptr;
    });
    loop_->OnFirstFrame([this] { FirstFrame(); });
    loop_->OnSceneEvents([this](const std::vector<scene::SceneEvent>& events) {
        if (!audio_) return;
        for (const auto& event : events) audio_->Play(event);
    });
}

void Wallpaper::PublishSettings() {
    TestStatePublisher::Write write(testState_);
    if (!write) return;
    write->mode = static_cast<std::uint32_t>(TestMode::Wallpaper);
    write->antialiasingSetting = settings_.antialiasing;
    write->showFps = settings_.showFps;
    write->fontScaling = settings_.fontScaling;
    write->disableOnMouseActivate = settings_.disableOnMouseActivate;
    write->musicEnabled = settings_.musicEnabled;
    write->musicVolume = settings_.musicVolume;
    write->soundsEnabled = settings_.soundsEnabled;
    write->soundsVolume = settings_.soundsVolume;
    write->placement = static_cast<std::uint32_t>(placement_.Kind());
    write->liveChanges = liveChanges_;
    write->settingsReads = settingsReads_;
    write->audioPaused = audioPaused_;
    write->highQualityGraphics = settings_.highQualityGraphics;
    write->highQualityTextures = settings_.highQualityTextures;
    write->multiMonitor = settings_.multiMonitor;
    write->curMonitor = settings_.curMonitor;
}

LRESULT Wallpaper::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A live change reaches whichever window the settings dialog found.
    if (message == liveMessage_ && liveMessage_ != 0) {
        ApplyLive(wParam, lParam);
        return 0;
    }
    if (window == control_) {
        if (message == taskbarCreated_ && taskbarCreated_ != 0) {
            if (placement_.ShellChanged()) relayout_ = true;
            return 0;
        }
        if (detectors_ && detectors_->OnMessage(message, wParam, lParam)) {
            DecidePause();
            return message == WM_POWERBROADCAST ? TRUE : 0;
        }
        switch (message) {
        case WM_TIMER:
            if (wParam == kWatchTimer) Watch();
            if (wParam == kMeasurementTimer) MeasurementDone();
            return 0;
        case WM_DISPLAYCHANGE:
        case WM_DPICHANGED:
            relayout_ = true;
            return 0;
        case WM_POWERBROADCAST:
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) ending_ = true;
            return 0;
        case WM_CLOSE:
            ending_ = true;
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }
    LRESULT result = 0;
    if (desktop::HandlePlacementMessage(window, message, wParam, lParam, result)) return result;
    switch (message) {
    case WM_DPICHANGED:
        relayout_ = true;
        return 0;
    case WM_DESTROY:
        // Not by us: the window we were a child of went, and took this one.
        if (!destroying_) relayout_ = true;
        return 0;
    case WM_CLOSE:
        ending_ = true;
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // A click on the desktop's background changes nothing here.
        if (auto write = TestStatePublisher::Write(testState_)) ++write->inputMessages;
        return DefWindowProcW(window, message, wParam, lParam);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int Wallpaper::Run() {
    if (!RegisterClasses()) {
        platform::DebugLine(L"the window classes could not be registered", HRESULT_FROM_WIN32(GetLastError()));
        return 0;
    }
    control_ = CreateWindowExW(WS_EX_TOOLWINDOW, kWallpaperControlClass, L"Sorvane 3D Screensaver", WS_POPUP, 0, 0,
                               0, 0, nullptr, nullptr, Instance(), nullptr);
    if (!control_) {
        platform::DebugLine(L"the control window could not be made", HRESULT_FROM_WIN32(GetLastError()));
        return 0;
    }
    desktop::AcceptFromAnyProcess(control_, liveMessage_);
    desktop::AcceptFromAnyProcess(control_, taskbarCreated_);
    detectors_ = std::make_unique<desktop::SessionDetectors>(control_);
    PublishSettings();

    // Direct3D 9 sets itself up on a thread of its own while the windows are
    // made, as in the screensaver (and for its reasons).
    const bool plain = tuning_.plainDirect3D9;
    direct3d_ = platform::BackgroundTask<std::shared_ptr<render::Direct3D>>::Start(
        [plain] { return std::make_shared<render::Direct3D>(plain); }, platform::ThreadEnd::StaysUntilProcessEnds);
    // The world is made while Direct3D 9 sets itself up.
    MakeLoop();

    BuildWindows();
    SetTimer(control_, kWatchTimer, kWatchMilliseconds, nullptr);
    // The music and sounds, paused as the wallpaper is; every call of the
    // audio returns at once, its opening and decoding on threads of its own.
    audio_ = audio::AudioEngine::Create();
    audio_->SetPaused(audioPaused_);
    audio_->Start(AudioSettingsOf(settings_));
    while (!ending_) {
        loop_->Run([this] { return ending_ || relayout_; });
        if (!relayout_) break;
        relayout_ = false;
        DestroyWindows();
        BuildWindows();
    }
    KillTimer(control_, kWatchTimer);
    DestroyWindows();
    // Silent with the windows gone; the audio's end waits for no file.
    audio_.reset();
    loop_.reset();
    detectors_.reset();
    DestroyWindow(control_);
    // What the windows covered shows the desktop's own wallpaper again.
    wchar_t picture[MAX_PATH] = L"";
    if (SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, picture, 0))
        SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, picture, 0);
    return 0;
}

} // namespace

int RunWallpaper() {
    if (desktop::ShouldHandStartToShell()) {
        if (!desktop::StartThroughShell(L"/w"))
            platform::DebugLine(L"an elevated wallpaper could not be started through the desktop's shell");
        return 0;
    }
    // Held until the process ends: a second start finds it and ends at once.
    const platform::ScopedHandle instance(CreateMutexW(nullptr, FALSE, kWallpaperInstanceName));
    if (instance && GetLastError() == ERROR_ALREADY_EXISTS) {
        platform::DebugLine(L"a wallpaper runs already in this session");
        return 0;
    }
    return RunWallpaperMode(ReadSettingsAtStart(), ReadTestTuning());
}

int RunWallpaperMode(const SettingsAtStart& start, const TestTuning& tuning) {
    Wallpaper wallpaper(start, tuning);
    g_wallpaper = &wallpaper;
    const int code = wallpaper.Run();
    g_wallpaper = nullptr;
    return code;
}

int StopWallpaper() {
    desktop::StopRunningWallpaper(kStopWaitMilliseconds);
    return 0;
}

} // namespace main_program
