// The wallpaper's place on the desktop and what it watches there, against
// stand-in shells and windows of another process (desktop_stand_in.exe):
// each of the four placements as a window tree, finding the place again after
// the shell ends, the covering windows and session states that pause it, the
// product key's watch and "/stop".
#include "main_program/app/program_names.h"
#include "main_program/desktop/desktop_placement_win.h"
#include "main_program/desktop/pause_detectors_win.h"
#include "main_program/desktop/product_key_watch_win.h"
#include "main_program/desktop/stop_wallpaper_win.h"
#include "platform/registry_access.h"
#include "settings/store/wallpaper_notification.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

namespace {

using desktop::Placement;

constexpr DWORD kDeadline = 20000;

int g_clicks = 0;
LRESULT CALLBACK WallpaperProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONUP) ++g_clicks;
    LRESULT result = 0;
    if (desktop::HandlePlacementMessage(window, message, wParam, lParam, result)) return result;
    return DefWindowProcW(window, message, wParam, lParam);
}

int g_taskbarCreated = 0;
LRESULT CALLBACK ListenerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == desktop::TaskbarCreatedMessage()) ++g_taskbarCreated;
    return DefWindowProcW(window, message, wParam, lParam);
}

std::string Describe(HWND window) {
    return window ? std::to_string(reinterpret_cast<uintptr_t>(window)) + " (" +
                        std::string(e2e::ClassName(window).begin(), e2e::ClassName(window).end()) + ")"
                  : "null";
}

class WallpaperDesktop : public ::testing::Test {
  protected:
    void SetUp() override {
        using ClassProcedure = std::pair<const wchar_t*, WNDPROC>;
        for (const auto& [name, procedure] : {ClassProcedure{kWallpaperWindowClass, WallpaperProcedure},
                                              ClassProcedure{L"SorvaneTestListener", ListenerProcedure}}) {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = procedure;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = name;
            RegisterClassW(&windowClass); // may exist already: the procedure is set per window
        }
        // Hears the stand-in shells' "TaskbarCreated".
        windows_.push_back(CreateWindowExW(0, L"SorvaneTestListener", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                           GetModuleHandleW(nullptr), nullptr));
        SetWindowLongPtrW(windows_.back(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListenerProcedure));
    }
    void TearDown() override {
        for (HWND window : windows_)
            if (IsWindow(window)) DestroyWindow(window);
    }

    // A wallpaper window as the mode makes it: top-level, hidden, not yet placed.
    HWND MakeWallpaperWindow() {
        HWND window = CreateWindowExW(0, kWallpaperWindowClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WallpaperProcedure));
        windows_.push_back(window);
        return window;
    }

    // Starts the stand-in with `arguments` and waits until it is ready: a
    // shell has broadcast "TaskbarCreated", a cover shows its window. Returns
    // the program manager or the cover in `window`.
    e2e::Process StandIn(const std::wstring& arguments, HWND* window = nullptr) {
        const bool shell = arguments.rfind(L"cover", 0) != 0;
        const int broadcasts = g_taskbarCreated;
        e2e::Process process = e2e::Process::Start(e2e::TestBinFolder() + L"\\desktop_stand_in.exe", arguments);
        EXPECT_TRUE(process.Started()) << "desktop_stand_in.exe did not start";
        HWND found = nullptr;
        EXPECT_TRUE(e2e::WaitUntil(
            [&] {
                if (shell && g_taskbarCreated == broadcasts) return false;
                for (HWND window : e2e::TopLevelWindows(process.Id())) {
                    const std::wstring name = e2e::ClassName(window);
                    if (shell ? name == L"Progman" : name == L"SorvaneTestCover" && IsWindowVisible(window))
                        found = window;
                }
                return found != nullptr;
            },
            kDeadline))
            << "the stand-in is not ready";
        if (window) *window = found;
        return process;
    }

    std::vector<HWND> windows_;
};

RECT WindowArea(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// True when no visible window lies below `window` among its siblings.
bool NothingVisibleBelow(HWND window) {
    for (HWND below = GetWindow(window, GW_HWNDNEXT); below; below = GetWindow(below, GW_HWNDNEXT))
        if (IsWindowVisible(below)) return false;
    return true;
}

TEST_F(WallpaperDesktop, EachShellGetsItsPlacementAndTheDialogFindsTheWindow) {
    const struct {
        const wchar_t* shell; // stand-in arguments; null: no shell, as under Wine
        Placement expected;
    } cases[] = {
        {nullptr, Placement::BottomMost},
        {L"worker", Placement::WallpaperWorker},
        {L"24h2", Placement::LayeredInProgramManager},
        {L"progman", Placement::ProgramManagerChild},
    };
    const RECT area{100, 50, 740, 530};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shell ? std::string(c.shell, c.shell + wcslen(c.shell)) : "no shell");
        HWND programManager = nullptr;
        e2e::Process shell = c.shell ? StandIn(c.shell, &programManager) : e2e::Process();
        const HWND window = MakeWallpaperWindow();
        desktop::DesktopPlacement placement;
        placement.Find();
        EXPECT_EQ(placement.Kind(), c.expected);
        ASSERT_TRUE(placement.Place(window, area));
        EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE);
        EXPECT_TRUE(SameRect(WindowArea(window), area));
        EXPECT_NE(GetForegroundWindow(), window);

        const auto style = GetWindowLongPtrW(window, GWL_STYLE), exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
        const HWND parent = GetAncestor(window, GA_PARENT);
        const HWND iconsView = FindWindowExW(programManager, nullptr, L"SHELLDLL_DefView", nullptr);
        switch (c.expected) {
        case Placement::BottomMost:
            EXPECT_EQ(parent, GetDesktopWindow());
            EXPECT_EQ(style & (WS_POPUP | WS_CHILD), WS_POPUP);
            EXPECT_EQ(exStyle & (WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_APPWINDOW),
                      WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE);
            // Under Wine a window rises when the X server maps it: the mode's
            // periodic check puts it back.
            EXPECT_TRUE(e2e::WaitUntil(
                [&] {
                    desktop::KeepAtBottom(window);
                    return NothingVisibleBelow(window);
                },
                kDeadline));
            break;
        case Placement::WallpaperWorker: {
            // The worker the program manager made on request, not the one above it.
            const HWND worker = GetWindow(programManager, GW_HWNDNEXT);
            EXPECT_EQ(e2e::ClassName(worker), L"WorkerW");
            EXPECT_EQ(parent, worker) << Describe(parent) << " instead of " << Describe(worker);
            break;
        }
        case Placement::LayeredInProgramManager:
            EXPECT_EQ(parent, programManager) << Describe(parent);
            EXPECT_EQ(GetWindow(iconsView, GW_HWNDNEXT), window) << "not right below the icons";
            EXPECT_EQ(e2e::ClassName(GetWindow(window, GW_HWNDNEXT)), L"WorkerW") << "not above the worker";
            EXPECT_TRUE(exStyle & WS_EX_LAYERED);
            break;
        case Placement::ProgramManagerChild:
            EXPECT_EQ(parent, programManager) << Describe(parent);
            EXPECT_EQ(GetWindow(iconsView, GW_HWNDNEXT), window) << "not below the icons";
            EXPECT_FALSE(exStyle & WS_EX_LAYERED);
            break;
        }
        if (c.expected != Placement::BottomMost) {
            EXPECT_EQ(style & (WS_POPUP | WS_CHILD), WS_CHILD);
            EXPECT_TRUE(placement.HostAlive());
            EXPECT_FALSE(placement.ShellChanged());
        }
        HWND found[4] = {};
        FindDesktopWindows(found[0], found[1], found[2], found[3]);
        EXPECT_EQ(found[3], window) << "the settings dialog's search finds " << Describe(found[3]);
        DestroyWindow(window);
    }
}

TEST_F(WallpaperDesktop, ABottomMostWallpaperStaysAtTheBottomAndIsNotActivated) {
    const HWND window = MakeWallpaperWindow();
    desktop::DesktopPlacement placement;
    placement.Find();
    ASSERT_EQ(placement.Kind(), Placement::BottomMost);
    ASSERT_TRUE(placement.Place(window, {0, 0, 400, 300}));
    HWND other = nullptr;
    e2e::Process otherProcess = StandIn(L"cover 10 10 200 200", &other);
    const auto atBottom = [&] {
        desktop::KeepAtBottom(window);
        return NothingVisibleBelow(window);
    };
    ASSERT_TRUE(e2e::WaitUntil(atBottom, kDeadline));

    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(NothingVisibleBelow(window)) << "raised above the other process's window";

    // The other process's window sent below ours: ours goes back under it.
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            SetWindowPos(other, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            return !NothingVisibleBelow(window);
        },
        kDeadline));
    desktop::KeepAtBottom(window);
    EXPECT_TRUE(NothingVisibleBelow(window));

    // A click on it leaves the active window as it was.
    const HWND active = GetForegroundWindow();
    g_clicks = 0;
    SetCursorPos(300, 250);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(SendInput(2, clicks, sizeof(INPUT)), 2u);
    ASSERT_TRUE(e2e::WaitUntil([] { return g_clicks > 0; }, kDeadline)) << "the click did not arrive";
    EXPECT_EQ(GetForegroundWindow(), active);
    EXPECT_TRUE(NothingVisibleBelow(window));
}

TEST_F(WallpaperDesktop, AfterTheShellEndsANewShellIsFoundAgain) {
    std::optional<e2e::Process> shell = StandIn(L"worker");
    desktop::DesktopPlacement placement;
    placement.Find();
    ASSERT_EQ(placement.Kind(), Placement::WallpaperWorker);
    ASSERT_TRUE(placement.Place(MakeWallpaperWindow(), {0, 0, 320, 240}));
    const HWND firstWorker = placement.Host();

    shell.reset(); // the shell ends; its windows go
    ASSERT_TRUE(e2e::WaitUntil([&] { return !placement.HostAlive(); }, kDeadline));
    EXPECT_TRUE(placement.ShellChanged());

    HWND secondManager = nullptr;
    shell = StandIn(L"worker", &secondManager); // ready once it broadcast "TaskbarCreated"
    EXPECT_TRUE(placement.ShellChanged());
    placement.Find();
    EXPECT_EQ(placement.Kind(), Placement::WallpaperWorker);
    EXPECT_NE(placement.Host(), firstWorker);
    const HWND window = MakeWallpaperWindow();
    ASSERT_TRUE(placement.Place(window, {0, 0, 320, 240}));
    EXPECT_EQ(GetAncestor(window, GA_PARENT), GetWindow(secondManager, GW_HWNDNEXT));
    EXPECT_FALSE(placement.ShellChanged()) << "the same shell again";
}

TEST_F(WallpaperDesktop, OnlyAnotherProcesssVisibleWindowOverTheMonitorPausesIt) {
    RECT monitor{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const std::wstring whole = L"0 0 " + std::to_wstring(monitor.right) + L" " + std::to_wstring(monitor.bottom);
    const struct {
        const wchar_t* what;
        std::wstring arguments;
        bool paused;
    } cases[] = {
        {L"a window over the whole monitor", L"cover " + whole, true},
        {L"the same, minimised", L"cover " + whole + L" minimised", false},
        {L"the same, transparent to input", L"cover " + whole + L" transparent", false},
        {L"half the monitor", L"cover 0 0 " + std::to_wstring(monitor.right / 2) + L" " +
                                  std::to_wstring(monitor.bottom), false},
        {L"the shell's program manager", L"worker shown", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what, c.what + wcslen(c.what)));
        e2e::Process other = StandIn(c.arguments);
        const auto decision = desktop::DecidePause({monitor}, desktop::VisibleTopLevelWindows(), {});
        EXPECT_EQ(decision.monitorPaused[0], c.paused);
    }
    // A window of our own over the monitor.
    const HWND own = CreateWindowExW(0, L"SorvaneTestListener", L"", WS_POPUP | WS_VISIBLE, 0, 0, monitor.right,
                                     monitor.bottom, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    windows_.push_back(own);
    EXPECT_FALSE(desktop::DecidePause({monitor}, desktop::VisibleTopLevelWindows(), {}).monitorPaused[0]);
}

TEST_F(WallpaperDesktop, SessionNotificationsAndTheScreensaverPauseEverything) {
    const HWND control = CreateWindowExW(0, L"SorvaneTestListener", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                         GetModuleHandleW(nullptr), nullptr);
    windows_.push_back(control);
    desktop::SessionDetectors detectors(control);
    EXPECT_FALSE(detectors.Facts().screensaverRunning);
    EXPECT_FALSE(detectors.Facts().fullScreenApplication);
    {
        // Our own screensaver holds its instance name while it runs.
        const platform::ScopedHandle running(CreateMutexW(nullptr, FALSE, main_program::kScreensaverInstanceName));
        EXPECT_TRUE(detectors.Facts().screensaverRunning);
    }
    EXPECT_FALSE(detectors.Facts().screensaverRunning);

    // A power setting notification of the console's display in `state`.
    const auto display = [&](DWORD state) {
        alignas(POWERBROADCAST_SETTING) unsigned char buffer[sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD)] = {};
        POWERBROADCAST_SETTING head{};
        head.PowerSetting = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
        head.DataLength = sizeof(DWORD);
        std::memcpy(buffer, &head, offsetof(POWERBROADCAST_SETTING, Data));
        std::memcpy(buffer + offsetof(POWERBROADCAST_SETTING, Data), &state, sizeof state);
        return detectors.OnMessage(WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(buffer));
    };
    const struct {
        const char* what;
        UINT message;
        WPARAM code;
        bool locked, disconnected;
    } session[] = {
        {"locked", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, true, false},
        {"console disconnected", WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, true, true},
        {"remote connected", WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT, true, false},
        {"unlocked", WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, false, false},
    };
    for (const auto& s : session) {
        EXPECT_TRUE(detectors.OnMessage(s.message, s.code, 0)) << s.what;
        EXPECT_EQ(detectors.Facts().locked, s.locked) << s.what;
        EXPECT_EQ(detectors.Facts().disconnected, s.disconnected) << s.what;
    }
    EXPECT_TRUE(display(0));
    EXPECT_TRUE(detectors.Facts().displayOff);
    EXPECT_TRUE(display(2)); // dimmed is still on
    EXPECT_FALSE(detectors.Facts().displayOff);
}

TEST_F(WallpaperDesktop, TheProductKeyWatchSeesEachBurstOfWritesAndAKeyThatComesBack) {
    const std::wstring key = kProductKey;
    e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
    desktop::ProductKeyWatch watch; // before the key exists
    const auto changed = [&] { return e2e::WaitUntil([&] { return watch.Changed(GetTickCount64()); }, kDeadline); };

    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, key, L"MusicVolumePercentage", L"2: 40"));
    EXPECT_TRUE(changed()) << "the key appeared";
    for (const wchar_t* name : {L"DisableMusic", L"DisableSound", L"Antialiasing", L"CurMonitor"})
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, key, name, L"2: 1"));
    EXPECT_TRUE(changed()) << "a burst of writes";
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, key, L"MusicVolumePercentage", L"2: 41"));
    EXPECT_TRUE(changed()) << "the watch was armed again";
    ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, key));
    EXPECT_TRUE(changed()) << "the key was deleted";
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, key, L"MusicVolumePercentage", L"2: 42"));
    EXPECT_TRUE(changed()) << "a new key";
    e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
}

TEST_F(WallpaperDesktop, StopClosesTheRunningWallpaperAndEndsAlone) {
    EXPECT_EQ(desktop::StopRunningWallpaper(0), 0) << "no wallpaper runs";
    e2e::Process wallpaper = e2e::Process::Start(e2e::TestBinFolder() + L"\\desktop_stand_in.exe", L"control");
    ASSERT_TRUE(e2e::WaitUntil(
        [&] { return FindWindowW(main_program::kWallpaperControlClass, nullptr) != nullptr; }, kDeadline));
    EXPECT_EQ(desktop::StopRunningWallpaper(kDeadline), 1);
    EXPECT_TRUE(wallpaper.WaitForExit(0)) << "the wallpaper still runs";
}

} // namespace
