// Stands in for other processes on the desktop in the wallpaper's tests: the
// shell's windows as each Windows version arranges them, a window that covers
// part of the screen, or a running wallpaper's control window.
//   desktop_stand_in worker [shown]   "Progman" holding "SHELLDLL_DefView"
//                               holding "SysListView32"; asked with 0x052C, it
//                               puts a top-level "WorkerW" right after itself
//                               (another "WorkerW" stays above it)
//   desktop_stand_in 24h2 [shown]     "Progman" holding the view and, below
//                               it, a "WorkerW"; a top-level "WorkerW" after it
//   desktop_stand_in progman [shown]  "Progman" holding the view; 0x052C does nothing
//   desktop_stand_in cover L T R B [minimised|transparent]
//   desktop_stand_in control    a hidden "SorvaneWallpaperControl" that ends on WM_CLOSE
// A shell broadcasts "TaskbarCreated" once its windows are made, as explorer
// does. Its windows stay hidden unless "shown": under Wine a top-level window
// rises to the top when the X server maps it, which would undo the z-order
// the tests look at. Every scenario runs until its top-level windows are
// closed or the process is ended.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

HWND g_programManager = nullptr;
HWND g_worker = nullptr; // made hidden at the start, put in place on request
int g_openWindows = 0;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == 0x052C && window == g_programManager && g_worker) {
        SetWindowPos(g_worker, g_programManager, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (IsWindowVisible(g_programManager)) ShowWindow(g_worker, SW_SHOWNOACTIVATE);
        return 0;
    }
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY && !(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) && --g_openWindows == 0)
        PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterClassNamed(const wchar_t* name) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_DESKTOP + 1);
    windowClass.lpszClassName = name;
    RegisterClassW(&windowClass);
}

HWND TopLevel(const wchar_t* className, DWORD exStyle, const RECT& r) {
    HWND window = CreateWindowExW(exStyle, className, L"", WS_POPUP, r.left, r.top, r.right - r.left,
                                  r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    if (window) ++g_openWindows;
    return window;
}

HWND Child(const wchar_t* className, HWND parent) {
    RECT area{};
    GetClientRect(parent, &area);
    return CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom, parent, nullptr,
                           nullptr, nullptr);
}

void MoveAfter(HWND window, HWND after) {
    SetWindowPos(window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool MakeShell(const std::wstring& kind, bool shown) {
    for (const wchar_t* name : {L"Progman", L"SHELLDLL_DefView", L"SysListView32", L"WorkerW"}) RegisterClassNamed(name);
    const RECT screen{0, 0, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    g_programManager = TopLevel(L"Progman", WS_EX_TOOLWINDOW, screen);
    if (!g_programManager) return false;
    Child(L"SysListView32", Child(L"SHELLDLL_DefView", g_programManager));
    // Explorer keeps other worker windows; one above the icons is never the wallpaper's.
    MoveAfter(TopLevel(L"WorkerW", WS_EX_TOOLWINDOW, {0, 0, 10, 10}), HWND_TOP);
    if (kind == L"worker") {
        g_worker = TopLevel(L"WorkerW", WS_EX_TOOLWINDOW, screen);
        MoveAfter(g_worker, HWND_TOP);
    } else if (kind == L"24h2") {
        Child(L"WorkerW", g_programManager);
        // A top-level worker after it does not make this 23H2's layout.
        MoveAfter(TopLevel(L"WorkerW", WS_EX_TOOLWINDOW, screen), g_programManager);
    }
    if (shown) ShowWindow(g_programManager, SW_SHOWNOACTIVATE);
    // The desktop's shell window, as explorer's program manager is (no header declares it).
    using SetShellWindowFn = BOOL(WINAPI*)(HWND);
    if (const auto setShellWindow = reinterpret_cast<SetShellWindowFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetShellWindow"))))
        setShellWindow(g_programManager);
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    return true;
}

bool MakeCover(int argc, wchar_t** argv) {
    if (argc < 6) return false;
    RegisterClassNamed(L"SorvaneTestCover");
    const RECT area{_wtoi(argv[2]), _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5])};
    const std::wstring how = argc > 6 ? argv[6] : L"";
    const DWORD exStyle = how == L"transparent" ? WS_EX_LAYERED | WS_EX_TRANSPARENT : 0;
    const HWND cover = TopLevel(L"SorvaneTestCover", exStyle, area);
    if (!cover) return false;
    if (exStyle & WS_EX_LAYERED) SetLayeredWindowAttributes(cover, 0, 255, LWA_ALPHA);
    ShowWindow(cover, how == L"minimised" ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
    return true;
}

bool MakeControl() {
    RegisterClassNamed(L"SorvaneWallpaperControl");
    return TopLevel(L"SorvaneWallpaperControl", 0, {0, 0, 1, 1}) != nullptr;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring scenario = argc > 1 ? argv[1] : L"";
    bool made = false;
    if (scenario == L"worker" || scenario == L"24h2" || scenario == L"progman")
        made = MakeShell(scenario, argc > 2 && std::wstring(argv[2]) == L"shown");
    else if (scenario == L"cover")
        made = MakeCover(argc, argv);
    else if (scenario == L"control")
        made = MakeControl();
    if (!made) return 2;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
