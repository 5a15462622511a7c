// The screensaver mode.
#include "main_program/app/screensaver_mode_win.h"

#include "hardware/display_adapters.h"
#include "main_program/app/program_names.h"
#include "main_program/app/scene_loop_win.h"
#include "main_program/app/test_state_win.h"
#include "main_program/audio/audio_engine.h"
#include "main_program/display/layout.h"
#include "main_program/input/ending_rules.h"
#include "main_program/input/watchdog_win.h"
#include "platform/background_task.h"
#include "platform/debug_output_win.h"

#include <chrono>
#include <memory>
#include <vector>

namespace main_program {

namespace {

constexpr UINT kHeartbeatMessage = WM_APP + 1;
// wParam 0: the display went off, 1: on. Sent by the power notifications'
// handler, and by tests, which cannot turn a display off.
constexpr UINT kDisplayStateMessage = WM_APP + 2;
constexpr UINT_PTR kMeasurementTimer = 1;
constexpr UINT kMeasurementPollMilliseconds = 250;
// How long the start waits for Direct3D 9 to be set up before it takes a
// driver that does not answer for none.
constexpr auto kDirect3DBound = std::chrono::seconds(20);

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

bool OnBattery() {
    SYSTEM_POWER_STATUS status{};
    return GetSystemPowerStatus(&status) && status.ACLineStatus == 0;
}

input::Point CursorPosition() {
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
}

// Registration of a power setting notification, undone when it goes.
class PowerNotification {
  public:
    PowerNotification(HWND window, const GUID& setting)
        : handle_(RegisterPowerSettingNotification(window, &setting, DEVICE_NOTIFY_WINDOW_HANDLE)) {}
    ~PowerNotification() {
        if (handle_) UnregisterPowerSettingNotification(handle_);
    }
    PowerNotification(const PowerNotification&) = delete;
    PowerNotification& operator=(const PowerNotification&) = delete;

  private:
    HPOWERNOTIFY handle_;
};

class Screensaver;

// Both kinds of window of the mode share one procedure: the scene and black
// windows (class kScreensaverWindowClass) and the hidden control window.
LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class Screensaver {
  public:
    Screensaver(const SettingsAtStart& start, const TestTuning& tuning)
        : settings_(start.settings), missing_(start.missing), tuning_(tuning), rules_(!start.settings.disableOnMouseActivate) {}

    int Run();
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    void BuildWindows();
    void DestroyWindows();
    void SceneShown();
    void MeasurementDone();
    void DisplayState(bool on);
    void PublishSettings();
    void MakeLoop();
    void PublishProcessorTime();
    void PublishHeartbeat();

    ProgramSettings settings_;
    MissingHardwareSettings missing_;
    TestTuning tuning_;
    input::EndingRules rules_;
    TestStatePublisher testState_;
    HWND control_ = nullptr;
    std::vector<HWND> windows_;
    std::unique_ptr<SceneLoop> loop_;
    std::unique_ptr<input::Watchdog> watchdog_;
    platform::BackgroundTask<HardwareFacts> measurement_;
    platform::BackgroundTask<std::shared_ptr<render::Direct3D>> direct3d_;
    std::unique_ptr<audio::AudioEngine> audio_;
    bool displayOn_ = true;
    bool relayout_ = false;
    bool measured_ = false;
};

Screensaver* g_screensaver = nullptr;

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_screensaver) return g_screensaver->Handle(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterClasses() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = Instance();
    // No cursor: it is hidden over every window of the mode.
    windowClass.hCursor = nullptr;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kScreensaverWindowClass;
    if (!RegisterClassExW(&windowClass)) return false;
    windowClass.hbrBackground = nullptr;
    windowClass.lpszClassName = kScreensaverControlClass;
    return RegisterClassExW(&windowClass) != 0;
}

void Screensaver::BuildWindows() {
    const std::vector<display::Monitor> monitors = display::ListMonitors();
    std::size_t chosen = display::PrimaryMonitor(monitors);
    if (!settings_.multiMonitor && monitors.size() > 1) {
        // CurMonitor counts the monitors as the settings dialog lists them.
        auto found = std::make_unique<AdapterEnumeration>();
        std::vector<display::Monitor> records;
        if (EnumerateAdapters(*found))
            for (UINT i = 0; i < found->monitorCount; ++i) {
                display::Monitor record;
                record.area = found->monitors[i].area;
                record.handle = found->monitors[i].monitor;
                records.push_back(record);
            }
        chosen = display::ChooseMonitor(settings_.curMonitor, records, monitors);
    }
    display::LayoutSettings layoutSettings;
    layoutSettings.multiMonitor = settings_.multiMonitor;
    layoutSettings.showBlackScreens = settings_.showBlackScreens;
    layoutSettings.useDesktopResolution = settings_.useDesktopResolution;
    layoutSettings.monitorAspectRatio = settings_.monitorAspectRatio;
    layoutSettings.maxRenderSide = tuning_.maxRenderSide;
    display::Layout layout = display::PlanLayout(monitors, chosen, layoutSettings);

    for (const display::WindowPlan& plan : layout.windows) {
        const RECT& r = plan.area;
        HWND window = CreateWindowExW(WS_EX_TOPMOST, kScreensaverWindowClass, L"Sorvane 3D Screensaver", WS_POPUP,
                                      r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, Instance(),
                                      nullptr);
        if (!window) {
            platform::DebugLine(L"a window could not be made", HRESULT_FROM_WIN32(GetLastError()));
            continue;
        }
        windows_.push_back(window);
    }
    for (std::size_t i = 0; i < windows_.size() && i < layout.windows.size(); ++i)
        layout.windows[i].dpi = display::WindowDpi(windows_[i], layout.windows[i].dpi);
    for (HWND window : windows_) ShowWindow(window, SW_SHOWNA);
    if (!windows_.empty()) SetForegroundWindow(windows_.front());
    if (windows_.size() == layout.windows.size()) {
        loop_->SetWindows(layout, windows_, monitors);
    } else {
        // A window missing: no scene at all rather than a scene out of place.
        loop_->SetWindows(display::Layout{}, {}, monitors);
    }
    // Without a scene to wait for, the windows shown are what the user sees.
    if (!loop_->HasScene()) SceneShown();
}

void Screensaver::DestroyWindows() {
    // Gone from the screen at once; the devices take a moment to let go.
    for (HWND window : windows_) ShowWindow(window, SW_HIDE);
    if (loop_) loop_->SetWindows(display::Layout{}, {}, {});
    for (HWND window : windows_) DestroyWindow(window);
    windows_.clear();
}

void Screensaver::SceneShown() {
    if (rules_.Shown()) return;
    rules_.SceneShown(CursorPosition());
    if (auto write = TestStatePublisher::Write(testState_)) {
        write->sceneShown = 1;
        write->pointerOriginX = rules_.Origin().x;
        write->pointerOriginY = rules_.Origin().y;
    }
    // The hardware is measured only now, and only when a setting needs it:
    // the measurement takes a processor for a moment and may wait for WMI.
    if (missing_.Any() && !measurement_.Started()) {
        measurement_ = platform::BackgroundTask<HardwareFacts>::Start([] { return MeasureHardware(); },
                                                                     platform::ThreadEnd::StaysUntilProcessEnds);
        SetTimer(control_, kMeasurementTimer, kMeasurementPollMilliseconds, nullptr);
    }
    // The music and sounds begin with the scene; every call of the audio
    // returns at once, its opening and decoding on threads of its own.
    if (!audio_) {
        audio_ = audio::AudioEngine::Create();
        audio_->SetPaused(!displayOn_);
        audio_->Start(AudioSettingsOf(settings_));
    }
}

void Screensaver::MeasurementDone() {
    if (measured_ || !measurement_.Done()) return;
    measured_ = true;
    KillTimer(control_, kMeasurementTimer);
    const HardwareFacts* facts = measurement_.WaitUntil(platform::BackgroundTask<HardwareFacts>::Clock::now());
    if (!facts) return;
    ApplyHardwareDefaults(settings_, missing_, *facts);
    loop_->ApplyMeasuredSettings(settings_.antialiasing, settings_.highQualityGraphics, settings_.highQualityTextures);
    if (auto write = TestStatePublisher::Write(testState_)) write->hardwareMeasured = 1;
    PublishSettings();
}

void Screensaver::DisplayState(bool on) {
    displayOn_ = on;
    if (loop_) loop_->SetPaused(!on);
    // The output device is let go while the display is off, so that the
    // machine may sleep.
    if (audio_) audio_->SetPaused(!on);
}

void Screensaver::PublishSettings() {
    TestStatePublisher::Write write(testState_);
    if (!write) return;
    write->mode = static_cast<std::uint32_t>(TestMode::Screensaver);
    write->antialiasingSetting = settings_.antialiasing;
    write->showFps = settings_.showFps;
    write->fontScaling = settings_.fontScaling;
    write->disableOnMouseActivate = settings_.disableOnMouseActivate;
    write->musicEnabled = settings_.musicEnabled;
    write->musicVolume = settings_.musicVolume;
    write->soundsEnabled = settings_.soundsEnabled;
    write->soundsVolume = settings_.soundsVolume;
}

void Screensaver::PublishProcessorTime() {
    TestStatePublisher::Write write(testState_);
    if (!write) return;
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return;
    auto value = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    write->cpuMicroseconds = (value(kernel) + value(user)) / 10;
    write->cpuSampledTicks = static_cast<std::uint64_t>(now.QuadPart);
}

void Screensaver::PublishHeartbeat() {
    PublishProcessorTime();
    if (audio_) PublishAudio(testState_, *audio_);
}

LRESULT Screensaver::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == control_) {
        switch (message) {
        case kHeartbeatMessage:
            if (watchdog_) watchdog_->Answered();
            PublishHeartbeat();
            return 0;
        case kDisplayStateMessage:
            DisplayState(wParam != 0);
            return 0;
        case WM_TIMER:
            if (wParam == kMeasurementTimer) MeasurementDone();
            return 0;
        case WM_POWERBROADCAST:
            if (wParam == PBT_APMPOWERSTATUSCHANGE && loop_) loop_->SetOnBattery(OnBattery());
            if (wParam == PBT_POWERSETTINGCHANGE && lParam) {
                const auto* change = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
                if ((IsEqualGUID(change->PowerSetting, GUID_CONSOLE_DISPLAY_STATE) ||
                     IsEqualGUID(change->PowerSetting, GUID_MONITOR_POWER_ON)) &&
                    change->DataLength >= sizeof(DWORD)) {
                    DWORD state = 0;
                    memcpy(&state, change->Data, sizeof state);
                    DisplayState(state != 0); // 0 off, 1 on, 2 dimmed (still showing)
                }
            }
            return TRUE;
        case WM_DISPLAYCHANGE:
            relayout_ = true;
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) rules_.Close();
            return 0;
        case WM_CLOSE:
            rules_.Close();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }
    switch (message) {
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return TRUE;
    case WM_MOUSEMOVE: {
        POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(window, &p);
        rules_.MouseMoved({p.x, p.y});
        if (auto write = TestStatePublisher::Write(testState_)) {
            ++write->mouseMoves;
            write->lastMoveX = p.x;
            write->lastMoveY = p.y;
        }
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        rules_.KeyOrButton();
        if (auto write = TestStatePublisher::Write(testState_)) ++write->inputMessages;
        return 0;
    case WM_ACTIVATEAPP:
        rules_.Activated(wParam != FALSE);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_SCREENSAVE:
        case SC_NEXTWINDOW:
        case SC_PREVWINDOW:
            return 0;
        case SC_CLOSE:
            rules_.Close();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    case WM_CLOSE:
        rules_.Close();
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) rules_.Close();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void Screensaver::MakeLoop() {
    LoopSettings loopSettings;
    loopSettings.antialiasing = settings_.antialiasing;
    loopSettings.highQualityGraphics = settings_.highQualityGraphics;
    loopSettings.highQualityTextures = settings_.highQualityTextures;
    loopSettings.showFps = settings_.showFps;
    loopSettings.fontScaling = settings_.fontScaling;
    loopSettings.frameRateCap = tuning_.frameRateCap;
    loopSettings.loseDeviceAtFrame = tuning_.loseDeviceAtFrame;
    loopSettings.stallAtFrame = tuning_.stallAtFrame;
    loop_ = std::make_unique<SceneLoop>(loopSettings, testState_, [this]() -> std::shared_ptr<render::Direct3D> {
        const auto* d3d = direct3d_.WaitUntil(std::chrono::steady_clock::now() + kDirect3DBound);
        if (!d3d) platform::DebugLine(L"Direct3D 9 did not answer in time; the screens stay black");
        return d3d ? *d3d : nullptr;
    });
    loop_->SetOnBattery(OnBattery());
    loop_->OnFirstFrame([this] { SceneShown(); });
    loop_->OnSceneEvents([this](const std::vector<scene::SceneEvent>& events) {
        if (!audio_) return;
        for (const auto& event : events) audio_->Play(event);
    });
}

int Screensaver::Run() {
    if (!RegisterClasses()) {
        platform::DebugLine(L"the window classes could not be registered", HRESULT_FROM_WIN32(GetLastError()));
        return 0;
    }
    control_ = CreateWindowExW(0, kScreensaverControlClass, L"Sorvane 3D Screensaver", WS_POPUP, 0, 0, 0, 0, nullptr,
                               nullptr, Instance(), nullptr);
    if (!control_) {
        platform::DebugLine(L"the control window could not be made", HRESULT_FROM_WIN32(GetLastError()));
        return 0;
    }
    // Direct3D 9 sets itself up (its library, the driver) while the windows
    // are made; only now that this thread has set up the window system: two
    // threads setting up Wine's display driver at once can hang. The thread
    // stays: under Wine the end of a thread that used Direct3D tears down
    // state that the window thread draws with. The object it made lives with
    // it, until the process ends; the devices made on it go with their windows.
    const bool plain = tuning_.plainDirect3D9;
    direct3d_ = platform::BackgroundTask<std::shared_ptr<render::Direct3D>>::Start(
        [plain] { return std::make_shared<render::Direct3D>(plain); }, platform::ThreadEnd::StaysUntilProcessEnds);
    // The world is made while Direct3D 9 sets itself up.
    MakeLoop();
    const PowerNotification displayState(control_, GUID_CONSOLE_DISPLAY_STATE);
    const PowerNotification monitorPower(control_, GUID_MONITOR_POWER_ON);
    PublishSettings();

    BuildWindows();
    watchdog_ = std::make_unique<input::Watchdog>(control_, kHeartbeatMessage, !settings_.disableOnMouseActivate);
    while (!rules_.ShouldEnd()) {
        loop_->Run([this] {
            // The pointer may move over a monitor that is left alone.
            if (rules_.Shown()) rules_.PointerAt(CursorPosition());
            return rules_.ShouldEnd() || relayout_;
        });
        if (!relayout_) break;
        relayout_ = false;
        DestroyWindows();
        BuildWindows();
    }
    DestroyWindows();
    // Silent with the screens gone; the audio's end waits for no file.
    audio_.reset();
    loop_.reset();
    DestroyWindow(control_);
    return 0;
}

} // namespace

int RunScreensaverMode(const SettingsAtStart& start, const TestTuning& tuning) {
    Screensaver screensaver(start, tuning);
    g_screensaver = &screensaver;
    const int code = screensaver.Run();
    g_screensaver = nullptr;
    return code;
}

} // namespace main_program
