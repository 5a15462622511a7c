// The main program as the screensaver, end to end: the real screensaver file
// starts the real main program through AppPath; the program's test seam
// tells what it does, screenshots show it, and input ends it.
#include "main_program/app/program_names.h"
#include "tests/e2e/driver/main_program_state.h"
#include "tests/e2e/driver/pixels.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using main_program::TestState;

constexpr DWORD kDeadline = 60000; // generous: software rendering on a busy machine
constexpr const wchar_t* kProductKey = L"Software\\Quenvale\\Sorvane 3D Screensaver";

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring MainProgramPath() { return FolderOf(e2e::ScreensaverPath()) + L"\\Sorvane 3D Screensaver.exe"; }

// A process of another program that the test may wait for.
class OtherProcess {
public:
    explicit OtherProcess(DWORD id) : handle_(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id)) {}
    ~OtherProcess() {
        if (!handle_) return;
        if (WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT) TerminateProcess(handle_, 1);
        CloseHandle(handle_);
    }
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;
    bool Valid() const { return handle_ != nullptr; }
    bool WaitForExit(DWORD milliseconds) const { return WaitForSingleObject(handle_, milliseconds) == WAIT_OBJECT_0; }
    bool Running() const { return WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }

private:
    HANDLE handle_;
};

// Input as a device gives it, through the system's input queue.
void MoveMouseTo(int x, int y) {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>(((x - left) * 65535LL + (width - 1) / 2) / (width - 1));
    input.mi.dy = static_cast<LONG>(((y - top) * 65535LL + (height - 1) / 2) / (height - 1));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    SendInput(1, &input, sizeof input);
}

void PressKey(WORD key) {
    INPUT inputs[2]{};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void Click() {
    INPUT inputs[2]{};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

RECT AreaOf(const main_program::TestWindowState& w) { return {w.left, w.top, w.right, w.bottom}; }

// How many clearly different colours a picture holds, in a coarse grid.
std::size_t Colours(const e2e::Image& image) {
    const e2e::Image cells = e2e::AverageCells(image, 8, 8);
    std::set<std::uint32_t> colours;
    for (std::uint32_t pixel : cells.pixels) colours.insert(pixel & 0xF0F0F0);
    return colours.size();
}

bool AllBlack(const e2e::Image& image) {
    for (std::uint32_t pixel : image.pixels)
        if ((pixel & 0xFFFFFF) != 0) return false;
    return true;
}

class MainProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(state_.Valid());
        e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"AppPath", FolderOf(e2e::ScreensaverPath())));
        // Stored, so that no hardware is measured: tests that want it remove them.
        for (const wchar_t* name : {L"HighQualityGraphics", L"HighQualityTextures", L"Antialiasing"}) Store(name, 0);
        Tune(L"SORVANE_TEST_MAX_RENDER", L"128");
        Tune(L"SORVANE_TEST_FPS", L"8");
    }
    void TearDown() override {
        for (const wchar_t* name : tuned_) SetEnvironmentVariableW(name, nullptr);
        if (auto state = state_.Read())
            if (HWND control = FindWindowW(main_program::kScreensaverControlClass, nullptr))
                PostMessageW(control, WM_CLOSE, 0, 0);
        if (main_) main_->WaitForExit(kDeadline);
        e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    }

    void Store(const wchar_t* name, int value) {
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, name, L"2: " + std::to_wstring(value)));
    }
    void Tune(const wchar_t* name, const wchar_t* value) {
        SetEnvironmentVariableW(name, value);
        tuned_.push_back(name);
    }

    // Starts the screensaver file as Windows does and waits until the main
    // program it starts has shown its windows and presented `frames` frames.
    std::optional<TestState> Start(std::uint64_t frames = 2) {
        state_.Clear();
        main_.reset();
        saver_ = e2e::Process::Screensaver(L"/s");
        EXPECT_TRUE(saver_.Started()) << "could not start the screensaver file";
        auto state = state_.WaitFor(
            [&](const TestState& s) {
                return s.processId != 0 && s.sceneShown && (frames == 0 || s.framesTotal >= frames);
            },
            kDeadline);
        EXPECT_TRUE(state) << "the main program did not show its scene; last state: " << Describe(state_.Read());
        if (state) {
            main_ = std::make_unique<OtherProcess>(state->processId);
            EXPECT_TRUE(main_->Valid());
        }
        return state;
    }

    static std::string Describe(const std::optional<TestState>& s) {
        if (!s) return "nothing published";
        std::string text = "mode " + std::to_string(s->mode) + ", shown " + std::to_string(s->sceneShown) +
                           ", frames " + std::to_string(s->framesTotal) + ", windows " + std::to_string(s->windowCount);
        for (std::uint32_t i = 0; i < s->windowCount && i < main_program::kMaxTestWindows; ++i) {
            const auto& w = s->windows[i];
            text += "; [" + std::to_string(w.left) + "," + std::to_string(w.top) + "-" + std::to_string(w.right) + "," +
                    std::to_string(w.bottom) + " role " + std::to_string(w.role) + " frames " +
                    std::to_string(w.frames) + " black " + std::to_string(w.black) + " adapter " +
                    std::to_string(w.adapter) + " kind " + std::to_string(w.deviceKind) + " recoveries " +
                    std::to_string(w.recoveries) + "]";
        }
        return text;
    }

    bool Ends() const { return main_ && main_->WaitForExit(kDeadline) && saver_.WaitForExit(kDeadline); }

    // A screenshot of `area`, kept as an artifact.
    e2e::Image Shot(const RECT& area, const std::wstring& name) {
        auto image = e2e::CaptureScreen(area);
        EXPECT_TRUE(image) << "no screenshot";
        if (!image) return {};
        e2e::SaveBitmap(*image, e2e::ArtifactsFolder() + L"\\" + name + L".bmp");
        return *image;
    }

    e2e::MainProgramState state_;
    e2e::Process saver_;
    std::unique_ptr<OtherProcess> main_;
    std::vector<const wchar_t*> tuned_;
};

TEST_F(MainProgram, ShowsAMovingSceneOverTheWholeScreenAndEndsOnAKeyWithTheScreensaverFile) {
    const auto state = Start(3);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->mode, static_cast<std::uint32_t>(main_program::TestMode::Screensaver));
    ASSERT_EQ(state->windowCount, 1u);
    const auto& window = state->windows[0];
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    EXPECT_EQ(window.left, screen.left);
    EXPECT_EQ(window.top, screen.top);
    EXPECT_EQ(window.right, screen.right);
    EXPECT_EQ(window.bottom, screen.bottom);
    EXPECT_EQ(window.role, static_cast<std::uint32_t>(main_program::TestWindowRole::Scene));
    EXPECT_LE(std::max(window.bufferWidth, window.bufferHeight), 128u) << "the test tuning renders small";
    EXPECT_EQ(window.adapter, 0);
    EXPECT_NE(window.deviceKind, static_cast<std::uint32_t>(main_program::TestDeviceKind::None));
    EXPECT_EQ(window.black, 0u);
    // Exactly one window of the screensaver's class, never the wallpaper's.
    EXPECT_EQ(FindWindowW(kWallpaperWindowClass, nullptr), nullptr);
    EXPECT_NE(FindWindowW(main_program::kScreensaverWindowClass, nullptr), nullptr);

    const e2e::Image first = Shot(screen, L"first_frames");
    EXPECT_GE(Colours(first), 4u) << "the first frames show one colour";
    const std::uint64_t shownFrames = state_.Read()->windows[0].frames;
    ASSERT_TRUE(state_.WaitFor([&](const TestState& s) { return s.windows[0].frames >= shownFrames + 12; }, kDeadline))
        << Describe(state_.Read());
    const e2e::Image later = Shot(screen, L"later");
    EXPECT_GE(Colours(later), 4u);
    EXPECT_GT(e2e::MeanDifference(first, later), 1.0) << "the scene does not move";

    PressKey(VK_SHIFT);
    EXPECT_TRUE(Ends()) << "a key did not end the screensaver; " << Describe(state_.Read());
}

// The height of the white text in the top right corner of the screen, 0 for none.
int CounterHeight(const e2e::Image& corner) {
    int top = -1, bottom = -1;
    for (int y = 0; y < corner.height; ++y)
        for (int x = 0; x < corner.width; ++x)
            if ((corner.At(x, y) & 0xFFFFFF) == 0xFFFFFF) {
                if (top < 0) top = y;
                bottom = y;
            }
    return top < 0 ? 0 : bottom - top + 1;
}

TEST_F(MainProgram, ShowsTheFrameCounterInATopCornerScaledByFontScaling) {
    Tune(L"SORVANE_TEST_MAX_RENDER", L"1280"); // the counter's pixels must survive the scaling
    Store(L"ShowFPS", 1);
    int heights[2] = {};
    for (const int scaling : {50, 100}) {
        Store(L"FontScaling", scaling);
        ASSERT_TRUE(Start(12)); // a counter has counted by then
        const int width = GetSystemMetrics(SM_CXSCREEN);
        const RECT corner{width - 300, 0, width, 100};
        e2e::WaitUntil([&] { return CounterHeight(*e2e::CaptureScreen(corner)) > 0; }, kDeadline);
        heights[scaling / 100] = CounterHeight(Shot(corner, L"counter_" + std::to_wstring(scaling)));
        PressKey(VK_SHIFT);
        ASSERT_TRUE(Ends());
    }
    // 7 font pixels of 2 screen pixels at 50, of 4 at 100.
    EXPECT_EQ(heights[0], 14);
    EXPECT_EQ(heights[1], 28);
}

TEST_F(MainProgram, MouseMovementEndsItBeyondAFewPixelsUnlessSwitchedOff) {
    for (const bool switchedOff : {false, true}) {
        SCOPED_TRACE(switchedOff ? "DisableOnMouseActivate 1" : "DisableOnMouseActivate 0");
        Store(L"DisableOnMouseActivate", switchedOff ? 1 : 0);
        auto state = Start();
        ASSERT_TRUE(state);
        const int x = state->pointerOriginX, y = state->pointerOriginY;
        // Each move is waited for until the program has had it.
        auto move = [&](int dx) {
            const std::uint32_t before = state_.Read()->mouseMoves;
            MoveMouseTo(x + dx, y);
            return state_.WaitFor(
                [&](const TestState& s) { return s.mouseMoves > before && s.lastMoveX == x + dx; }, kDeadline);
        };
        ASSERT_TRUE(move(2)) << "the program never had the first move";
        ASSERT_TRUE(move(3)) << "the program never had the second move";
        // Some frames later it still runs.
        const std::uint64_t frames = state_.Read()->framesTotal;
        ASSERT_TRUE(state_.WaitFor([&](const TestState& s) { return s.framesTotal >= frames + 3; }, kDeadline));
        EXPECT_TRUE(main_->Running()) << "3 pixels ended it";
        if (!switchedOff) {
            MoveMouseTo(x + 30, y);
            EXPECT_TRUE(Ends()) << "30 pixels did not end it";
            continue;
        }
        ASSERT_TRUE(move(30));
        const std::uint64_t later = state_.Read()->framesTotal;
        ASSERT_TRUE(state_.WaitFor([&](const TestState& s) { return s.framesTotal >= later + 3; }, kDeadline));
        EXPECT_TRUE(main_->Running()) << "30 pixels ended it though mouse movement is switched off";
        PressKey('A');
        EXPECT_TRUE(Ends()) << "a key did not end it";
        MoveMouseTo(x, y);
    }
}

TEST_F(MainProgram, AClickOrACloseEndsIt) {
    ASSERT_TRUE(Start());
    Click();
    EXPECT_TRUE(Ends()) << "a click did not end it";

    ASSERT_TRUE(Start());
    HWND control = FindWindowW(main_program::kScreensaverControlClass, nullptr);
    ASSERT_NE(control, nullptr) << "no control window";
    PostMessageW(control, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ends()) << "WM_CLOSE did not end it";
}

TEST_F(MainProgram, ASecondStartEndsAtOnceAndTheFirstRunsOn) {
    ASSERT_TRUE(Start());
    e2e::Process second = e2e::Process::Start(MainProgramPath(), L"");
    ASSERT_TRUE(second.Started());
    EXPECT_TRUE(second.WaitForExit(kDeadline)) << "a second screensaver kept running";
    EXPECT_EQ(second.ExitCode(), 0u);
    const std::uint64_t frames = state_.Read()->framesTotal;
    EXPECT_TRUE(state_.WaitFor([&](const TestState& s) { return s.framesTotal >= frames + 3; }, kDeadline));
    EXPECT_TRUE(main_->Running());
}

TEST_F(MainProgram, ALostDeviceIsResetAndTheSceneGoesOn) {
    Tune(L"SORVANE_TEST_LOSE_DEVICE", L"4");
    for (const bool plain : {false, true}) {
        SCOPED_TRACE(plain ? "Direct3D 9" : "Direct3D 9Ex");
        Tune(L"SORVANE_TEST_PLAIN_D3D9", plain ? L"1" : L"0");
        ASSERT_TRUE(Start());
        const auto state = state_.WaitFor(
            [](const TestState& s) { return s.windows[0].recoveries >= 1 && s.windows[0].frames >= 8; }, kDeadline);
        ASSERT_TRUE(state) << Describe(state_.Read());
        EXPECT_EQ(state->windows[0].deviceKind,
                  static_cast<std::uint32_t>(plain ? main_program::TestDeviceKind::Direct3D9
                                                   : main_program::TestDeviceKind::Direct3D9Ex));
        EXPECT_EQ(state->windows[0].black, 0u);
        const RECT area = AreaOf(state->windows[0]);
        EXPECT_GE(Colours(Shot(area, plain ? L"after_reset_d3d9" : L"after_reset_d3d9ex")), 4u);
        PressKey(VK_SPACE);
        EXPECT_TRUE(Ends());
    }
}

TEST_F(MainProgram, MeasuresTheHardwareAfterTheFirstFrameWhenASettingIsMissing) {
    e2e::DeleteValue(HKEY_LOCAL_MACHINE, kProductKey, L"HighQualityGraphics");
    ASSERT_TRUE(Start(1));
    EXPECT_TRUE(state_.WaitFor([](const TestState& s) { return s.hardwareMeasured == 1; }, kDeadline))
        << "the hardware was never measured";
    PressKey(VK_RETURN);
    EXPECT_TRUE(Ends());
}

TEST_F(MainProgram, AStuckWindowThreadStillEndsOnInput) {
    Tune(L"SORVANE_TEST_STALL", L"4");
    ASSERT_TRUE(Start(3));
    // The window thread stops at its fourth frame and answers nothing more.
    ASSERT_TRUE(state_.WaitFor([](const TestState& s) { return s.stalled == 1; }, kDeadline));
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(Ends()) << "the watchdog did not end it; " << Describe(state_.Read());
}

// Direct3D 9 that fails (e2e.no_direct3d puts such a d3d9.dll in the system
// folder and has Wine prefer it): black screens that end on input.
TEST_F(MainProgram, WithoutDirect3DTheScreensAreBlackAndInputEndsIt) {
    if (GetEnvironmentVariableW(L"SORVANE_FAILING_D3D9", nullptr, 0) == 0)
        GTEST_SKIP() << "runs in e2e.no_direct3d, with the failing d3d9.dll";
    wchar_t system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring planted = std::wstring(system) + L"\\d3d9.dll";
    ASSERT_TRUE(CopyFileW((e2e::TestBinFolder() + L"\\failing_d3d9.dll").c_str(), planted.c_str(), FALSE));
    const auto state = Start(0);
    ASSERT_TRUE(state);
    ASSERT_GE(state->windowCount, 1u);
    EXPECT_EQ(state->windows[0].black, 1u);
    EXPECT_EQ(state->windows[0].deviceKind, static_cast<std::uint32_t>(main_program::TestDeviceKind::None));
    EXPECT_EQ(state->framesTotal, 0u);
    const RECT area = AreaOf(state->windows[0]);
    EXPECT_TRUE(e2e::WaitUntil([&] { auto image = e2e::CaptureScreen(area); return image && AllBlack(*image); },
                               kDeadline));
    Shot(area, L"without_direct3d");
    PressKey(VK_SHIFT);
    EXPECT_TRUE(Ends());
}

// On the side-by-side display (e2e.main_two_monitors): 1280x1024 at 0,0 and
// 1024x768 at 1280,0.
class MainProgramTwoMonitors : public MainProgram {
protected:
    void SetUp() override {
        wchar_t screens[8] = L"";
        GetEnvironmentVariableW(L"SORVANE_SCREENS", screens, 8);
        if (std::wstring(screens) != L"side") GTEST_SKIP() << "runs on the harness's side-by-side monitors";
        EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors_));
        ASSERT_EQ(monitors_.size(), 2u) << "Wine reports " << monitors_.size() << " monitors";
        if (monitors_[0].left != 0) std::swap(monitors_[0], monitors_[1]);
        MainProgram::SetUp();
    }

    static BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (GetMonitorInfoW(monitor, &info)) reinterpret_cast<std::vector<RECT>*>(list)->push_back(info.rcMonitor);
        return TRUE;
    }

    static bool Same(const main_program::TestWindowState& w, const RECT& r) {
        return w.left == r.left && w.top == r.top && w.right == r.right && w.bottom == r.bottom;
    }

    std::vector<RECT> monitors_;
};

// A plain window of the test's own, in one colour, on the left monitor.
class Marker {
public:
    explicit Marker(const RECT& area) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = brush_;
        windowClass.lpszClassName = L"SorvaneTestMarker";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, L"SorvaneTestMarker", L"", WS_POPUP | WS_VISIBLE, area.left + 100, area.top + 100,
                                  200, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        UpdateWindow(window_);
    }
    ~Marker() {
        DestroyWindow(window_);
        DeleteObject(brush_);
    }
    Marker(const Marker&) = delete;
    Marker& operator=(const Marker&) = delete;
    RECT Inside() const {
        RECT r;
        GetWindowRect(window_, &r);
        return {r.left + 20, r.top + 20, r.right - 20, r.bottom - 20};
    }
    static constexpr std::uint32_t kColour = 0x30C050;

private:
    HBRUSH brush_ = CreateSolidBrush(RGB(0x30, 0xC0, 0x50));
    HWND window_ = nullptr;
};

bool AllOf(const e2e::Image& image, std::uint32_t colour) {
    for (std::uint32_t pixel : image.pixels)
        if ((pixel & 0xFFFFFF) != colour) return false;
    return true;
}

TEST_F(MainProgramTwoMonitors, TheSceneOnBothOrOnTheChosenOneWithTheOtherBlackOrLeftAlone) {
    const Marker marker(monitors_[0]);
    ASSERT_TRUE(e2e::WaitUntil([&] { auto i = e2e::CaptureScreen(marker.Inside()); return i && AllOf(*i, Marker::kColour); },
                               kDeadline))
        << "the marker window never showed";

    // Multi-monitor: one world over both, each monitor its own window.
    auto state = Start(3);
    ASSERT_TRUE(state);
    ASSERT_EQ(state->windowCount, 2u) << Describe(state);
    ASSERT_TRUE(state_.WaitFor([](const TestState& s) { return s.windows[0].frames >= 3 && s.windows[1].frames >= 3; },
                               kDeadline))
        << Describe(state_.Read());
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(Same(state->windows[i], monitors_[i])) << Describe(state);
        EXPECT_EQ(state->windows[i].role, static_cast<std::uint32_t>(main_program::TestWindowRole::Scene));
        EXPECT_GE(Colours(Shot(monitors_[i], L"both_monitor" + std::to_wstring(i))), 4u) << "monitor " << i;
    }
    EXPECT_EQ(state->canvasRight, monitors_[1].right);
    PressKey(VK_SHIFT);
    ASSERT_TRUE(Ends());

    // The right monitor chosen, the left one black.
    Store(L"EnableMultiMonitorMode", 0);
    Store(L"CurMonitor", 1);
    Store(L"ShowBlackScreens", 1);
    state = Start(3);
    ASSERT_TRUE(state);
    ASSERT_EQ(state->windowCount, 2u) << Describe(state);
    EXPECT_EQ(state->windows[0].role, static_cast<std::uint32_t>(main_program::TestWindowRole::Black));
    EXPECT_EQ(state->windows[1].role, static_cast<std::uint32_t>(main_program::TestWindowRole::Scene));
    EXPECT_TRUE(Same(state->windows[1], monitors_[1])) << Describe(state);
    EXPECT_TRUE(AllBlack(Shot(monitors_[0], L"chosen_right_left_black"))) << "the left monitor is not black";
    EXPECT_GE(Colours(Shot(monitors_[1], L"chosen_right")), 4u);
    PressKey(VK_SHIFT);
    ASSERT_TRUE(Ends());

    // The right monitor chosen, the left one left as it was.
    Store(L"ShowBlackScreens", 0);
    state = Start(3);
    ASSERT_TRUE(state);
    ASSERT_EQ(state->windowCount, 1u) << Describe(state);
    EXPECT_TRUE(Same(state->windows[0], monitors_[1])) << Describe(state);
    const auto untouched = e2e::CaptureScreen(marker.Inside());
    ASSERT_TRUE(untouched);
    EXPECT_TRUE(AllOf(*untouched, Marker::kColour)) << "the monitor left alone was covered";
    Shot(monitors_[0], L"chosen_right_left_alone");
    PressKey(VK_SHIFT);
    EXPECT_TRUE(Ends());
}

} // namespace
