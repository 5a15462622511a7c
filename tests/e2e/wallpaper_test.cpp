// The main program as the animated wallpaper ("/w"), end to end under Wine,
// where no shell runs and its windows are bottom-most: its windows and their
// place, one per session and its ends, the real settings dialog's live
// changes and OK, covering windows that pause it, and layout changes.
#include "main_program/app/program_names.h"
#include "tests/e2e/driver/main_program_state.h"
#include "tests/e2e/driver/pixels.h"
#include "tests/e2e/settings_dialog_fixture.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace settings_e2e {
namespace {

using main_program::TestState;

constexpr DWORD kRenderDeadline = 60000; // generous: software rendering on a busy machine

std::wstring MainProgramPath() {
    const std::wstring scr = e2e::ScreensaverPath();
    return scr.substr(0, scr.find_last_of(L'\\')) + L"\\Sorvane 3D Screensaver.exe";
}

std::size_t Colours(const e2e::Image& image) {
    const e2e::Image cells = e2e::AverageCells(image, 8, 8);
    std::set<std::uint32_t> colours;
    for (std::uint32_t pixel : cells.pixels) colours.insert(pixel & 0xF0F0F0);
    return colours.size();
}

bool Same(const main_program::TestWindowState& w, const RECT& r) {
    return w.left == r.left && w.top == r.top && w.right == r.right && w.bottom == r.bottom;
}

// A plain window of the test's own (another process than the wallpaper's),
// in one colour.
class PlainWindow {
  public:
    explicit PlainWindow(const RECT& area) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = brush_;
        windowClass.lpszClassName = L"SorvaneTestPlainWindow";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, L"SorvaneTestPlainWindow", L"", WS_POPUP | WS_VISIBLE, area.left, area.top,
                                  area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        UpdateWindow(window_);
    }
    ~PlainWindow() {
        DestroyWindow(window_);
        DeleteObject(brush_);
    }
    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;
    HWND Handle() const { return window_; }
    bool Shows() const {
        RECT r;
        GetWindowRect(window_, &r);
        const auto image = e2e::CaptureScreen({r.left + 10, r.top + 10, r.right - 10, r.bottom - 10});
        if (!image) return false;
        for (std::uint32_t pixel : image->pixels)
            if ((pixel & 0xFFFFFF) != kColour) return false;
        return true;
    }
    static constexpr std::uint32_t kColour = 0x30C050;

  private:
    HBRUSH brush_ = CreateSolidBrush(RGB(0x30, 0xC0, 0x50));
    HWND window_ = nullptr;
};

class MainProgramWallpaper : public SettingsDialogTest {
  protected:
    void SetUp() override {
        SettingsDialogTest::SetUp();
        ASSERT_TRUE(state_.Valid());
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey));
        // Stored, so that no hardware is measured.
        SeedSetting(L"HighQualityGraphics", L"2: 0");
        SeedSetting(L"HighQualityTextures", L"2: 0");
        SeedSetting(L"Antialiasing", L"2: 4");
        Tune(L"SORVANE_TEST_MAX_RENDER", L"128");
        Tune(L"SORVANE_TEST_FPS", L"8");
    }
    void TearDown() override {
        SettingsDialogTest::TearDown();
        for (const wchar_t* name : tuned_) SetEnvironmentVariableW(name, nullptr);
        if (wallpaper_.Running()) {
            if (HWND control = FindWindowW(main_program::kWallpaperControlClass, nullptr))
                PostMessageW(control, WM_CLOSE, 0, 0);
            wallpaper_.WaitForExit(kRenderDeadline);
        }
        e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    }

    void Tune(const wchar_t* name, const wchar_t* value) {
        SetEnvironmentVariableW(name, value);
        tuned_.push_back(name);
    }

    // Starts "/w" and waits until every window of it has presented `frames` frames.
    std::optional<TestState> StartWallpaper(std::uint64_t frames = 2) {
        state_.Clear();
        wallpaper_ = e2e::Process::Start(MainProgramPath(), L"/w");
        EXPECT_TRUE(wallpaper_.Started()) << "could not start the main program";
        auto state = state_.WaitFor(
            [&](const TestState& s) {
                if (s.processId != wallpaper_.Id() || s.windowCount == 0) return false;
                for (std::uint32_t i = 0; i < s.windowCount; ++i)
                    if (s.windows[i].frames < frames) return false;
                return true;
            },
            kRenderDeadline);
        EXPECT_TRUE(state) << "the wallpaper did not show its scene; " << Describe(state_.Read());
        return state;
    }

    // Waits until the published state satisfies `condition`; says what it was otherwise.
    std::optional<TestState> Expect(const std::function<bool(const TestState&)>& condition, const char* what) {
        auto state = state_.WaitFor(condition, kRenderDeadline);
        EXPECT_TRUE(state) << what << "; " << Describe(state_.Read());
        return state;
    }

    static std::string Describe(const std::optional<TestState>& s) {
        if (!s) return "nothing published";
        std::string text = "mode " + std::to_string(s->mode) + ", placement " + std::to_string(s->placement) +
                           ", layout " + std::to_string(s->layoutGeneration) + ", live changes " +
                           std::to_string(s->liveChanges) + ", reads " + std::to_string(s->settingsReads) +
                           ", music " + std::to_string(s->musicEnabled) + "/" + std::to_string(s->musicVolume) +
                           ", sounds " + std::to_string(s->soundsEnabled) + "/" + std::to_string(s->soundsVolume) +
                           ", antialiasing " + std::to_string(s->antialiasingSetting) + ", quality " +
                           std::to_string(s->highQualityGraphics) + "/" + std::to_string(s->highQualityTextures) +
                           ", audio paused " + std::to_string(s->audioPaused);
        for (std::uint32_t i = 0; i < s->windowCount && i < main_program::kMaxTestWindows; ++i) {
            const auto& w = s->windows[i];
            text += "; [" + std::to_string(w.left) + "," + std::to_string(w.top) + "-" + std::to_string(w.right) +
                    "," + std::to_string(w.bottom) + " frames " + std::to_string(w.frames) + " paused " +
                    std::to_string(w.paused) + " samples " + std::to_string(w.samples) + "]";
        }
        return text;
    }

    // What the program published last (all zero before it has).
    TestState Current() const { return state_.Read().value_or(TestState{}); }

    static HWND WallpaperControl() { return FindWindowW(main_program::kWallpaperControlClass, nullptr); }
    // The wallpaper's windows, as the settings dialog's search meets them.
    std::vector<HWND> WallpaperWindows() const {
        std::vector<HWND> found;
        for (HWND window : e2e::TopLevelWindows(wallpaper_.Id()))
            if (e2e::ClassName(window) == kWallpaperWindowClass) found.push_back(window);
        return found;
    }

    e2e::MainProgramState state_;
    e2e::Process wallpaper_;
    std::vector<const wchar_t*> tuned_;
};

// True when no visible window lies below `window`.
bool AtTheBottom(HWND window) {
    for (HWND below = GetWindow(window, GW_HWNDNEXT); below; below = GetWindow(below, GW_HWNDNEXT))
        if (IsWindowVisible(below)) return false;
    return true;
}

TEST_F(MainProgramWallpaper, CoversTheScreenAtTheBottomBehindOtherWindowsAndNeverTakesTheFocus) {
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const PlainWindow ordinary({100, 100, 400, 300});
    SetForegroundWindow(ordinary.Handle());
    ASSERT_TRUE(e2e::WaitUntil([&] { return ordinary.Shows(); }, kDeadline)) << "the plain window never showed";
    Tune(L"SORVANE_TEST_FPS", L"0"); // the wallpaper's own pace
    const auto state = StartWallpaper(3);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->mode, static_cast<std::uint32_t>(main_program::TestMode::Wallpaper));
    EXPECT_EQ(state->placement, 4u) << "no shell under Wine: bottom-most windows";
    EXPECT_EQ(state->targetFrameRate, 30.0);
    ASSERT_EQ(state->windowCount, 1u) << Describe(state);
    EXPECT_TRUE(Same(state->windows[0], screen)) << Describe(state);

    const std::vector<HWND> windows = WallpaperWindows();
    ASSERT_EQ(windows.size(), 1u) << "not one top-level \"Direct3D Window\"";
    RECT area{};
    GetWindowRect(windows[0], &area);
    EXPECT_TRUE(EqualRect(&area, &screen));
    const auto exStyle = GetWindowLongPtrW(windows[0], GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW) << "it would show on the taskbar";
    EXPECT_TRUE(exStyle & WS_EX_NOACTIVATE);
    EXPECT_TRUE(e2e::WaitUntil([&] { return AtTheBottom(windows[0]); }, kDeadline)) << "not at the bottom";

    // The ordinary window shows over the scene, which moves around it. (Wine
    // never lowers an X window below another process's, so the X server
    // keeps the wallpaper's window above the older one until that one is
    // raised again, as a window manager or a click would.)
    SetWindowPos(ordinary.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(e2e::WaitUntil([&] { return ordinary.Shows(); }, kDeadline)) << "the wallpaper covers an ordinary window";
    const auto whole = e2e::CaptureScreen(screen);
    ASSERT_TRUE(whole);
    e2e::SaveBitmap(*whole, e2e::ArtifactsFolder() + L"\\wallpaper_behind_a_window.bmp");
    const auto beside = e2e::CaptureScreen({500, 400, 1100, 900});
    ASSERT_TRUE(beside);
    EXPECT_GE(Colours(*beside), 4u) << "no scene around the ordinary window";

    // A click on the wallpaper: it has it, and takes neither the focus nor the top.
    const std::uint32_t clicks = Current().inputMessages;
    SetCursorPos(800, 600);
    INPUT press[2] = {};
    press[0].type = press[1].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(SendInput(2, press, sizeof(INPUT)), 2u);
    Expect([&](const TestState& s) { return s.inputMessages > clicks; }, "the click never reached the wallpaper");
    EXPECT_NE(GetForegroundWindow(), windows[0]);
    EXPECT_TRUE(AtTheBottom(windows[0]));
    EXPECT_TRUE(ordinary.Shows());
}

TEST_F(MainProgramWallpaper, OnePerSessionEndedByStopCloseOrTheSessionAndMadeAgainOnLayoutChanges) {
    auto state = StartWallpaper();
    ASSERT_TRUE(state);
    e2e::Process second = e2e::Process::Start(MainProgramPath(), L"/w");
    EXPECT_TRUE(second.WaitForExit(kRenderDeadline)) << "a second wallpaper kept running";
    EXPECT_EQ(WallpaperWindows().size(), 1u);

    // A display change and a DPI change each make the windows again. (While
    // they are made again there are none, and the state says so.)
    const HWND control = WallpaperControl();
    ASSERT_NE(control, nullptr);
    std::uint32_t generation = Current().layoutGeneration;
    const auto madeAgain = [&](const TestState& s) {
        return s.layoutGeneration > generation && s.windowCount == 1 && s.windows[0].frames > 0;
    };
    SendMessageW(control, WM_DISPLAYCHANGE, 32, MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
    ASSERT_TRUE(Expect(madeAgain, "WM_DISPLAYCHANGE did not redo the layout"));
    generation = Current().layoutGeneration;
    const std::vector<HWND> windows = WallpaperWindows();
    ASSERT_EQ(windows.size(), 1u);
    RECT suggested{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SendMessageW(windows[0], WM_DPICHANGED, MAKEWPARAM(120, 120), reinterpret_cast<LPARAM>(&suggested));
    ASSERT_TRUE(Expect(madeAgain, "WM_DPICHANGED did not redo the layout"));
    EXPECT_TRUE(wallpaper_.Running());

    e2e::Process stop = e2e::Process::Start(MainProgramPath(), L"/stop");
    EXPECT_TRUE(stop.WaitForExit(kRenderDeadline)) << "/stop did not end";
    EXPECT_TRUE(wallpaper_.WaitForExit(kRenderDeadline)) << "/stop did not end the wallpaper";
    EXPECT_EQ(FindWindowW(kWallpaperWindowClass, nullptr), nullptr);

    ASSERT_TRUE(StartWallpaper());
    PostMessageW(WallpaperControl(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(wallpaper_.WaitForExit(kRenderDeadline)) << "WM_CLOSE did not end it";

    ASSERT_TRUE(StartWallpaper());
    EXPECT_TRUE(SendMessageW(WallpaperControl(), WM_QUERYENDSESSION, 0, 0));
    SendMessageW(WallpaperControl(), WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(wallpaper_.WaitForExit(kRenderDeadline)) << "the session's end did not end it";
}

TEST_F(MainProgramWallpaper, TheSettingsDialogsChangesReachItAndCancelPutsTheStoredOnesBack) {
    auto state = StartWallpaper();
    ASSERT_TRUE(state);
    ASSERT_EQ(state->antialiasingSetting, 4);
    const std::uint32_t storedSamples = state->windows[0].samples;
    Open();

    e2e::MoveTrackbar(Item(MusicVolume), 40);
    Expect([](const TestState& s) { return s.musicVolume == 40; }, "the music trackbar did not reach it");
    e2e::Click(Item(EnableSounds));
    Expect([](const TestState& s) { return s.soundsEnabled == 0; }, "\"Enable sounds\" did not reach it");
    e2e::Click(Item(Antialiasing));
    Expect([](const TestState& s) { return s.antialiasingSetting == 0 && s.windows[0].samples == 0; },
           "unchecking \"Antialiasing\" did not reset the swap chain without samples");
    e2e::Click(Item(Antialiasing));
    Expect([&](const TestState& s) { return s.antialiasingSetting == 4 && s.windows[0].samples == storedSamples; },
           "checking \"Antialiasing\" did not bring the samples back");

    // Cancel posts every code with the stored values: all seven arrive and
    // the wallpaper is as it was.
    const std::uint32_t before = Current().liveChanges;
    PressAndWaitForExit(Cancel);
    state = Expect([&](const TestState& s) { return s.liveChanges >= before + 7; }, "Cancel's posts did not arrive");
    ASSERT_TRUE(state);
    EXPECT_EQ(state->liveChanges, before + 7);
    EXPECT_EQ(state->musicVolume, 15);
    EXPECT_EQ(state->musicEnabled, 1);
    EXPECT_EQ(state->soundsVolume, 100);
    EXPECT_EQ(state->soundsEnabled, 1);
    EXPECT_EQ(state->antialiasingSetting, 4);
    EXPECT_EQ(state->highQualityGraphics, 0);
    EXPECT_EQ(state->highQualityTextures, 0);

    // Posts the dialog never makes, each with what it leaves.
    const UINT message = RegisterWindowMessageW(kWallpaperMessageName);
    const struct {
        WPARAM code;
        LPARAM value;
        const char* what;
        std::function<bool(const TestState&)> applied;
    } posts[] = {
        {1, 250, "music volume above 100", [](const TestState& s) { return s.musicVolume == 100; }},
        {3, -5, "sound volume below 0", [](const TestState& s) { return s.soundsVolume == 0; }},
        {0, 1, "high-quality graphics", [](const TestState& s) { return s.highQualityGraphics == 1; }},
        {5, 1, "high-quality textures", [](const TestState& s) { return s.highQualityTextures == 1; }},
        {6, -1, "antialiasing on with the best count", [](const TestState& s) { return s.antialiasingSetting == 1; }},
        {42, 7, "an unknown code", [](const TestState& s) { return s.musicVolume == 100 && s.soundsVolume == 0; }},
    };
    const std::vector<HWND> windows = WallpaperWindows();
    ASSERT_EQ(windows.size(), 1u);
    for (const auto& post : posts) {
        const std::uint32_t count = Current().liveChanges;
        ASSERT_TRUE(PostMessageW(windows[0], message, post.code, post.value));
        Expect([&](const TestState& s) { return s.liveChanges > count && post.applied(s); }, post.what);
    }
}

TEST_F(MainProgramWallpaper, GoesBehindAShellsIconsAndFindsItsPlaceAgainAfterTheShellEnds) {
    // A stand-in shell of Windows 10's kind (tests/wine/stand_in): asked, its
    // program manager puts a wallpaper worker right after itself.
    const std::wstring standIn = e2e::TestBinFolder() + L"\\..\\desktop_stand_in.exe";
    std::optional<e2e::Process> shell = e2e::Process::Start(standIn, L"worker");
    ASSERT_TRUE(shell->Started());
    ASSERT_TRUE(e2e::WaitUntil([] { return FindWindowW(L"Progman", nullptr) != nullptr; }, kDeadline));
    HWND programManager = FindWindowW(L"Progman", nullptr);

    state_.Clear();
    wallpaper_ = e2e::Process::Start(MainProgramPath(), L"/w");
    // Wine draws nothing into a child of another process's window: the
    // window tree and the state tell where it went.
    auto state = Expect([](const TestState& s) { return s.placement == 1 && s.windowCount == 1; },
                        "the wallpaper did not go behind the stand-in shell's icons");
    ASSERT_TRUE(state);
    HWND window = FindWindowExW(GetWindow(programManager, GW_HWNDNEXT), nullptr, kWallpaperWindowClass, nullptr);
    EXPECT_NE(window, nullptr) << "no \"Direct3D Window\" in the worker after the program manager";
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD);

    // The shell ends and takes the window with it: a bottom-most one instead.
    std::uint32_t generation = state->layoutGeneration;
    shell.reset();
    state = Expect([&](const TestState& s) { return s.layoutGeneration > generation && s.placement == 4 &&
                                                    s.windowCount == 1 && s.windows[0].frames > 0; },
                   "no wallpaper after the shell ended");
    ASSERT_TRUE(state);
    EXPECT_EQ(WallpaperWindows().size(), 1u) << "not a top-level window";

    // A new shell announces its taskbar: the wallpaper goes behind its icons.
    generation = state->layoutGeneration;
    shell = e2e::Process::Start(standIn, L"worker");
    Expect([&](const TestState& s) { return s.layoutGeneration > generation && s.placement == 1 && s.windowCount == 1; },
           "the wallpaper did not go behind the new shell's icons");
    ASSERT_TRUE(e2e::WaitUntil([] { return FindWindowW(L"Progman", nullptr) != nullptr; }, kDeadline));
    programManager = FindWindowW(L"Progman", nullptr);
    EXPECT_NE(FindWindowExW(GetWindow(programManager, GW_HWNDNEXT), nullptr, kWallpaperWindowClass, nullptr), nullptr);
    EXPECT_TRUE(wallpaper_.Running());
}

// On the side-by-side display (e2e.wallpaper_two_monitors): 1280x1024 at
// 0,0 and 1024x768 at 1280,0.
class MainProgramWallpaperTwoMonitors : public MainProgramWallpaper {
  protected:
    void SetUp() override {
        wchar_t screens[8] = L"";
        GetEnvironmentVariableW(L"SORVANE_SCREENS", screens, 8);
        if (std::wstring(screens) != L"side") GTEST_SKIP() << "runs on the harness's side-by-side monitors";
        monitors_ = {{0, 0, 1280, 1024}, {1280, 0, 2304, 768}};
        ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
        MainProgramWallpaper::SetUp();
    }
    std::vector<RECT> monitors_;
};

TEST_F(MainProgramWallpaperTwoMonitors, ACoveredMonitorPausesAloneAndOkMovesItToTheChosenMonitor) {
    auto state = StartWallpaper();
    ASSERT_TRUE(state);
    ASSERT_EQ(state->windowCount, 2u) << Describe(state);
    EXPECT_TRUE(Same(state->windows[0], monitors_[0]) && Same(state->windows[1], monitors_[1])) << Describe(state);

    {
        // A window of another process over the right monitor: only it stops.
        const PlainWindow cover(monitors_[1]);
        state = Expect([](const TestState& s) { return s.windows[1].paused && !s.windows[0].paused; },
                       "the covered monitor did not pause alone");
        ASSERT_TRUE(state);
        const std::uint64_t left = state->windows[0].frames, right = state->windows[1].frames;
        state = Expect([&](const TestState& s) { return s.windows[0].frames >= left + 4; }, "the left monitor stopped");
        ASSERT_TRUE(state);
        EXPECT_EQ(state->windows[1].frames, right) << "the covered monitor still renders";
        EXPECT_EQ(state->audioPaused, 0u);
        {
            const PlainWindow both({0, 0, 2304, 1024});
            Expect([](const TestState& s) { return s.windows[0].paused && s.audioPaused; },
                   "covering both did not pause everything");
        }
    }
    // The covers gone, both render again.
    const std::uint64_t right = Current().windows[1].frames;
    Expect([&](const TestState& s) { return !s.windows[0].paused && !s.windows[1].paused && !s.audioPaused &&
                                            s.windows[1].frames > right; },
           "the monitors did not resume");

    // OK after choosing the left monitor alone: the key watch follows.
    Open();
    e2e::SelectComboItem(Item(MonitorList), 0);
    PressAndWaitForExit(Ok);
    state = Expect([&](const TestState& s) { return s.settingsReads >= 1 && s.windowCount == 1 && s.windows[0].frames > 0; },
                   "OK's new monitor was not followed");
    ASSERT_TRUE(state);
    EXPECT_TRUE(Same(state->windows[0], monitors_[0])) << Describe(state);
    EXPECT_EQ(state->multiMonitor, 0);
    EXPECT_EQ(state->curMonitor, 0);
}

} // namespace
} // namespace settings_e2e
