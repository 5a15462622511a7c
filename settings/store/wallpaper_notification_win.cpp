// Finding the wallpaper window among the desktop's windows and posting
// setting changes to it.
#include "settings/store/wallpaper_notification.h"

namespace {

constexpr wchar_t kShellViewClass[] = L"SHELLDLL_DefView";
constexpr wchar_t kListViewClass[] = L"SysListView32";

struct DesktopSearch {
    HWND shellView = nullptr;
    HWND listView = nullptr;
    HWND wallpaper = nullptr;
};

bool HasClass(HWND window, const wchar_t* className) {
    wchar_t name[257]; // class names are at most 256 characters
    if (GetClassNameW(window, name, static_cast<int>(sizeof name / sizeof name[0])) == 0) return false;
    return lstrcmpW(name, className) == 0;
}

BOOL CALLBACK VisitDescendant(HWND child, LPARAM context) {
    auto& search = *reinterpret_cast<DesktopSearch*>(context);
    if (HasClass(child, kListViewClass)) {
        const HWND parent = GetParent(child);
        if (parent && HasClass(parent, kShellViewClass)) {
            search.shellView = parent;
            search.listView = child;
            if (search.wallpaper) return FALSE;
        }
        return TRUE;
    }
    if (HasClass(child, kWallpaperWindowClass)) {
        search.wallpaper = child;
        if (search.listView) return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<DesktopSearch*>(context);
    if (HasClass(window, kWallpaperWindowClass)) {
        search.wallpaper = window;
        return search.listView && search.shellView ? FALSE : TRUE;
    }
    EnumChildWindows(window, VisitDescendant, context);
    return search.shellView && search.listView && search.wallpaper ? FALSE : TRUE;
}

} // namespace

void FindDesktopWindows(HWND& programManager, HWND& shellView, HWND& listView, HWND& wallpaper) {
    programManager = FindWindowW(L"Progman", nullptr);
    DesktopSearch search{shellView, listView, wallpaper};
    EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
    shellView = search.shellView;
    listView = search.listView;
    wallpaper = search.wallpaper;
}

void WallpaperLink::Connect() {
    message_ = RegisterWindowMessageW(kWallpaperMessageName);
    window_ = nullptr;
    Search();
}

void WallpaperLink::Search() {
    HWND programManager = nullptr, shellView = nullptr, listView = nullptr, wallpaper = nullptr;
    FindDesktopWindows(programManager, shellView, listView, wallpaper);
    window_ = wallpaper;
}

void WallpaperLink::NotifyWallpaper(int code, LPARAM value) {
    // Without a registered number the post would arrive as some other message.
    if (message_ == 0) return;
    if (!IsWindow(window_)) {
        window_ = nullptr;
        Search();
    }
    if (window_) PostMessageW(window_, message_, static_cast<WPARAM>(code), value);
}
