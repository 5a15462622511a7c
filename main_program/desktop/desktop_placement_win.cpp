// The wallpaper's place behind the desktop icons.
#include "main_program/desktop/desktop_placement_win.h"

#include "platform/debug_output_win.h"
#include "platform/library_win.h"

namespace desktop {
namespace {

constexpr wchar_t kProgramManagerClass[] = L"Progman";
constexpr wchar_t kIconsViewClass[] = L"SHELLDLL_DefView";
constexpr wchar_t kWorkerClass[] = L"WorkerW";
// Asks the program manager to make the worker window that shows the wallpaper.
constexpr UINT kMakeWallpaperWorker = 0x052C;
constexpr UINT kShellTimeoutMs = 1000;

BOOL CALLBACK FindIconsHolder(HWND window, LPARAM found) {
    if (!FindWindowExW(window, nullptr, kIconsViewClass, nullptr)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

bool HasClass(HWND window, const wchar_t* className) {
    wchar_t name[257]; // class names are at most 256 characters
    return GetClassNameW(window, name, 257) != 0 && lstrcmpW(name, className) == 0;
}

// The first window of `className` below `window` in the z-order. (Wine's
// FindWindowExW finds nothing after a window of another class.)
HWND NextOfClass(HWND window, const wchar_t* className) {
    for (HWND next = GetWindow(window, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT))
        if (HasClass(next, className)) return next;
    return nullptr;
}

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    if (window) GetWindowThreadProcessId(window, &process);
    return process;
}

void SetStyles(HWND window, DWORD style, DWORD exStyle) {
    SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style));
    SetWindowLongPtrW(window, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
}

} // namespace

const wchar_t* DescribePlacement(Placement placement) {
    switch (placement) {
    case Placement::WallpaperWorker:
        return L"wallpaper placement 1: a child of the wallpaper worker behind the desktop icons";
    case Placement::LayeredInProgramManager:
        return L"wallpaper placement 2: a layered child of the program manager, below its icons";
    case Placement::ProgramManagerChild:
        return L"wallpaper placement 3: a child of the program manager";
    case Placement::BottomMost:
        break;
    }
    return L"wallpaper placement 4: bottom-most windows (no desktop shell)";
}

void DesktopPlacement::Find() {
    kind_ = Placement::BottomMost;
    host_ = iconsView_ = nullptr;
    const HWND programManager = FindWindowW(kProgramManagerClass, nullptr);
    shellProcess_ = ProcessOf(programManager);
    if (programManager) {
        // A shell that does not answer within the time-out is left to the later ways.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(programManager, kMakeWallpaperWorker, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                            kShellTimeoutMs, &ignored);
        HWND iconsHolder = nullptr;
        EnumWindows(FindIconsHolder, reinterpret_cast<LPARAM>(&iconsHolder));
        // Where the icons' holder keeps a worker of its own (24H2), a worker
        // after it is not the wallpaper's.
        const HWND worker = iconsHolder && !FindWindowExW(iconsHolder, nullptr, kWorkerClass, nullptr)
                                ? NextOfClass(iconsHolder, kWorkerClass)
                                : nullptr;
        const HWND iconsView = FindWindowExW(programManager, nullptr, kIconsViewClass, nullptr);
        if (worker) {
            kind_ = Placement::WallpaperWorker;
            host_ = worker;
        } else if (iconsView && FindWindowExW(programManager, nullptr, kWorkerClass, nullptr)) {
            kind_ = Placement::LayeredInProgramManager;
            host_ = programManager;
            iconsView_ = iconsView;
        } else {
            kind_ = Placement::ProgramManagerChild;
            host_ = programManager;
        }
    }
    platform::DebugLine(DescribePlacement(kind_));
}

bool DesktopPlacement::Place(HWND window, const RECT& area) const {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    const int width = area.right - area.left, height = area.bottom - area.top;
    constexpr UINT kShow = SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_FRAMECHANGED;
    if (kind_ == Placement::BottomMost) {
        if (GetAncestor(window, GA_PARENT) != GetDesktopWindow()) SetParent(window, nullptr);
        SetStyles(window, (style & ~(WS_CHILD | WS_CAPTION | WS_THICKFRAME)) | WS_POPUP,
                  (exStyle & ~(WS_EX_APPWINDOW | WS_EX_LAYERED)) | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE);
        SetWindowPos(window, HWND_BOTTOM, area.left, area.top, width, height, kShow);
        return GetAncestor(window, GA_PARENT) == GetDesktopWindow();
    }
    if (!IsWindow(host_)) return false;
    // A window becomes a child before it is given its parent, and a layered
    // child is made opaque, or it shows nothing.
    DWORD childExStyle = exStyle & ~(WS_EX_APPWINDOW | WS_EX_TOOLWINDOW | WS_EX_LAYERED);
    if (kind_ == Placement::LayeredInProgramManager) childExStyle |= WS_EX_LAYERED;
    SetStyles(window, (style & ~(WS_POPUP | WS_CAPTION | WS_THICKFRAME)) | WS_CHILD | WS_CLIPSIBLINGS,
              childExStyle | WS_EX_NOACTIVATE);
    SetParent(window, host_);
    if (kind_ == Placement::LayeredInProgramManager) SetLayeredWindowAttributes(window, 0, 255, LWA_ALPHA);
    POINT corner{area.left, area.top};
    ScreenToClient(host_, &corner);
    HWND after = HWND_TOP;
    if (kind_ == Placement::LayeredInProgramManager && IsWindow(iconsView_)) after = iconsView_;
    if (kind_ == Placement::ProgramManagerChild) after = HWND_BOTTOM;
    SetWindowPos(window, after, corner.x, corner.y, width, height, kShow);
    return GetAncestor(window, GA_PARENT) == host_;
}

void DesktopPlacement::UseBottomMost() {
    kind_ = Placement::BottomMost;
    host_ = iconsView_ = nullptr;
    platform::DebugLine(DescribePlacement(kind_));
}

bool DesktopPlacement::HostAlive() const { return kind_ == Placement::BottomMost || IsWindow(host_); }

bool DesktopPlacement::ShellChanged() const {
    return !HostAlive() || ProcessOf(FindWindowW(kProgramManagerClass, nullptr)) != shellProcess_;
}

UINT TaskbarCreatedMessage() { return RegisterWindowMessageW(L"TaskbarCreated"); }

bool AcceptFromAnyProcess(HWND window, UINT message) {
    const platform::Library user32(L"user32.dll");
    const auto filter = user32.Function<decltype(&::ChangeWindowMessageFilterEx)>("ChangeWindowMessageFilterEx");
    return filter && filter(window, message, MSGFLT_ALLOW, nullptr);
}

bool HandlePlacementMessage(HWND window, UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_MOUSEACTIVATE:
        result = MA_NOACTIVATE;
        return true;
    case WM_WINDOWPOSCHANGING: {
        auto& position = *reinterpret_cast<WINDOWPOS*>(lParam);
        position.flags |= SWP_NOACTIVATE;
        if (!(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD)) position.hwndInsertAfter = HWND_BOTTOM;
        return false; // the default handling goes on with the changed position
    }
    default:
        return false;
    }
}

void KeepAtBottom(HWND window) {
    if (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) return;
    for (HWND below = GetWindow(window, GW_HWNDNEXT); below; below = GetWindow(below, GW_HWNDNEXT)) {
        if (IsWindowVisible(below) && ProcessOf(below) != GetCurrentProcessId()) {
            SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            return;
        }
    }
}

} // namespace desktop
