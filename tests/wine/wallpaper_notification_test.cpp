// The desktop window search and the posting of settings to a wallpaper, with
// stand-in windows of the classes the search looks for.
#include "settings/store/wallpaper_notification.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Post = std::pair<WPARAM, LPARAM>;
using Posts = std::vector<Post>;

// What every stand-in wallpaper received, registered messages only.
std::map<HWND, Posts>& Received() {
    static std::map<HWND, Posts> received;
    return received;
}

UINT ExpectedMessage() { return RegisterWindowMessageW(L"ChangeWallpaperSettingsSorvane"); }

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ExpectedMessage()) {
        Received()[window].emplace_back(wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterStandInClass(const wchar_t* name, WNDPROC procedure) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    if (!RegisterClassW(&windowClass)) {
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    }
}

std::string Describe(const Posts& posts) {
    std::ostringstream out;
    out << "{";
    for (const Post& p : posts)
        out << " (" << p.first << ", " << p.second << ")";
    out << " }";
    return out.str();
}

class StandIns : public ::testing::Test {
  protected:
    std::vector<HWND> created;

    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&controls));
        RegisterStandInClass(L"Direct3D Window", RecordingProcedure);
        RegisterStandInClass(L"Direct3D Window ", RecordingProcedure);
        RegisterStandInClass(L"Direct3D", RecordingProcedure);
        RegisterStandInClass(L"SHELLDLL_DefView", DefWindowProcW);
        RegisterStandInClass(L"Progman", DefWindowProcW);
        RegisterStandInClass(L"SorvaneTestHost", DefWindowProcW);
        Received().clear();
        // The test prefix's own desktop must not hold what the tests stand in for.
        HWND programManager = nullptr, shellView = nullptr, listView = nullptr, wallpaper = nullptr;
        FindDesktopWindows(programManager, shellView, listView, wallpaper);
        ASSERT_EQ(programManager, nullptr) << "the desktop already has a program manager window";
        ASSERT_EQ(shellView, nullptr) << "the desktop already has a shell view";
        ASSERT_EQ(wallpaper, nullptr) << "a \"Direct3D Window\" is already open";
    }

    void TearDown() override {
        // Children go with their parents; destroy the newest first.
        for (auto it = created.rbegin(); it != created.rend(); ++it)
            if (IsWindow(*it)) DestroyWindow(*it);
        Received().clear();
    }

    // A hidden window; top-level when `parent` is null. New top-level
    // windows go to the top of the z-order, so they are met first.
    HWND Make(const wchar_t* className, HWND parent = nullptr) {
        const DWORD style = parent ? WS_CHILD : WS_POPUP;
        HWND window = CreateWindowExW(0, className, L"", style, 0, 0, 100, 100, parent, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(window, nullptr) << "cannot create a window of a stand-in class";
        created.push_back(window);
        // Another test of this process may have registered the class first.
        if (std::wstring(className).rfind(L"Direct3D", 0) == 0)
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProcedure));
        if (!parent) SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return window;
    }

    // A desktop shell view holding its list view, inside `host`.
    std::pair<HWND, HWND> MakeShellView(HWND host) {
        HWND view = Make(L"SHELLDLL_DefView", host);
        HWND list = Make(WC_LISTVIEWW, view);
        return {view, list};
    }

    // Puts `windows` at the top of the z-order, the first one topmost.
    static void Order(const std::vector<HWND>& windows) {
        for (auto it = windows.rbegin(); it != windows.rend(); ++it)
            SetWindowPos(*it, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    struct Found {
        HWND programManager = nullptr, shellView = nullptr, listView = nullptr, wallpaper = nullptr;
    };
    static Found Search() {
        Found f;
        FindDesktopWindows(f.programManager, f.shellView, f.listView, f.wallpaper);
        return f;
    }

    // Lets the stand-ins receive what was posted to them; posts from this
    // thread are all queued by the time PostMessageW returns.
    static void Deliver() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
};

TEST_F(StandIns, FindsNothingOnAnEmptyDesktop) {
    const Found f = Search();
    EXPECT_EQ(f.programManager, nullptr);
    EXPECT_EQ(f.shellView, nullptr);
    EXPECT_EQ(f.listView, nullptr);
    EXPECT_EQ(f.wallpaper, nullptr);
}

TEST_F(StandIns, FindsTheProgramManagerAndItsShellView) {
    HWND progman = Make(L"Progman");
    const auto [view, list] = MakeShellView(progman);
    const Found f = Search();
    EXPECT_EQ(f.programManager, progman);
    EXPECT_EQ(f.shellView, view);
    EXPECT_EQ(f.listView, list);
    EXPECT_EQ(f.wallpaper, nullptr);
}

TEST_F(StandIns, AListViewCountsOnlyInsideAShellView) {
    HWND host = Make(L"SorvaneTestHost");
    Make(WC_LISTVIEWW, host);
    HWND other = Make(L"SorvaneTestHost", host);
    Make(WC_LISTVIEWW, other);
    const Found f = Search();
    EXPECT_EQ(f.shellView, nullptr);
    EXPECT_EQ(f.listView, nullptr);
}

TEST_F(StandIns, FindsTheWallpaperTopLevelAsAChildAndDeeper) {
    struct Case {
        const char* where;
        int depth; // 0: top-level
    };
    const Case cases[] = {{"top-level", 0}, {"child of a top-level window", 1}, {"grandchild of a top-level window", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        HWND parent = nullptr;
        for (int d = 0; d < c.depth; ++d)
            parent = Make(L"SorvaneTestHost", parent);
        HWND wallpaper = Make(L"Direct3D Window", parent);
        EXPECT_EQ(Search().wallpaper, wallpaper);
        DestroyWindow(c.depth ? GetAncestor(wallpaper, GA_ROOT) : wallpaper);
    }
}

TEST_F(StandIns, TheClassNameMustMatchExactly) {
    Make(L"Direct3D Window ");
    Make(L"Direct3D");
    HWND host = Make(L"SorvaneTestHost");
    Make(L"Direct3D Window ", host);
    Make(L"Direct3D", host);
    EXPECT_EQ(Search().wallpaper, nullptr);
}

// The search order: the z-order of top-level windows, each one's descendants
// in turn. A later wallpaper replaces an earlier one until the search stops,
// which it does once the shell view, the list view and a wallpaper are known.
TEST_F(StandIns, TheLastWallpaperMetBeforeTheSearchStopsIsTaken) {
    {
        SCOPED_TRACE("no shell view: the search runs to the end");
        HWND first = Make(L"Direct3D Window");
        HWND last = Make(L"Direct3D Window");
        Order({first, last});
        EXPECT_EQ(Search().wallpaper, last);
    }
    {
        SCOPED_TRACE("shell view first: the search stops at the next wallpaper");
        HWND progman = Make(L"Progman");
        const auto [view, list] = MakeShellView(progman);
        HWND first = Make(L"Direct3D Window");
        HWND last = Make(L"Direct3D Window");
        Order({progman, first, last});
        const Found f = Search();
        EXPECT_EQ(f.wallpaper, first);
        EXPECT_EQ(f.shellView, view);
        EXPECT_EQ(f.listView, list);
        DestroyWindow(progman);
    }
    {
        SCOPED_TRACE("wallpaper first: the search stops after the shell view");
        HWND progman = Make(L"Progman");
        MakeShellView(progman);
        HWND early = Make(L"SorvaneTestHost");
        HWND first = Make(L"Direct3D Window", early);
        HWND late = Make(L"Direct3D Window");
        Order({early, progman, late});
        EXPECT_EQ(Search().wallpaper, first);
        DestroyWindow(progman);
    }
}

TEST_F(StandIns, InsideOneWindowTheSearchStopsAtTheFirstWallpaperAfterTheListView) {
    HWND host = Make(L"SorvaneTestHost");
    const auto [view, list] = MakeShellView(host);
    HWND first = Make(L"Direct3D Window", host);
    HWND second = Make(L"Direct3D Window", host);
    // Children: the shell view on top, then the two wallpapers.
    SetWindowPos(second, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(first, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(view, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_EQ(GetWindow(host, GW_CHILD), view);
    ASSERT_EQ(GetWindow(view, GW_HWNDNEXT), first);

    const Found f = Search();
    EXPECT_EQ(f.wallpaper, first);
    EXPECT_EQ(f.listView, list);

    // With the wallpapers above the shell view, neither stops the search
    // (the list view is unknown when they are met), so the last one stays.
    SetWindowPos(view, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_EQ(GetWindow(host, GW_CHILD), first);
    EXPECT_EQ(Search().wallpaper, second);
}

TEST_F(StandIns, PostsEachSettingToTheWallpaperInTheOrderGiven) {
    for (const bool asChild : {false, true}) {
        SCOPED_TRACE(asChild ? "wallpaper is a child window" : "wallpaper is top-level");
        Received().clear();
        HWND host = asChild ? Make(L"SorvaneTestHost") : nullptr;
        HWND wallpaper = Make(L"Direct3D Window", host);

        WallpaperLink link;
        link.Connect();
        EXPECT_EQ(link.Message(), ExpectedMessage());
        EXPECT_EQ(link.Window(), wallpaper);
        link.NotifyWallpaper(kWallpaperMusicVolume, 40);
        link.NotifyWallpaper(kWallpaperMusicEnabled, 0);
        for (int code : kWallpaperNotifyAllOrder)
            link.NotifyWallpaper(code, 10 + code);
        Deliver();

        const Posts expected = {{1, 40}, {2, 0}, {6, 16}, {1, 11}, {2, 12}, {3, 13}, {4, 14}, {0, 10}, {5, 15}};
        EXPECT_EQ(Received()[wallpaper], expected) << "got " << Describe(Received()[wallpaper]);
        DestroyWindow(host ? host : wallpaper);
    }
}

TEST_F(StandIns, NothingIsPostedWhileNoWallpaperRunsAndALaterOneIsFound) {
    WallpaperLink link;
    link.Connect();
    EXPECT_EQ(link.Window(), nullptr);
    link.NotifyWallpaper(kWallpaperSoundsVolume, 5);
    Deliver();
    EXPECT_TRUE(Received().empty());

    HWND wallpaper = Make(L"Direct3D Window");
    link.NotifyWallpaper(kWallpaperSoundsVolume, 7);
    Deliver();
    EXPECT_EQ(Received()[wallpaper], (Posts{{3, 7}})) << "got " << Describe(Received()[wallpaper]);
}

TEST_F(StandIns, AWallpaperThatEndedIsReplacedByTheOneRunningNow) {
    HWND old = Make(L"Direct3D Window");
    WallpaperLink link;
    link.Connect();
    ASSERT_EQ(link.Window(), old);
    DestroyWindow(old);
    HWND host = Make(L"SorvaneTestHost");
    HWND current = Make(L"Direct3D Window", host);

    link.NotifyWallpaper(kWallpaperAntialiasing, 4);
    Deliver();
    EXPECT_EQ(link.Window(), current);
    EXPECT_EQ(Received()[current], (Posts{{6, 4}})) << "got " << Describe(Received()[current]);
    EXPECT_EQ(Received().count(old), 0u);
}

TEST_F(StandIns, AKeptWallpaperIsNotSearchedForAgain) {
    HWND first = Make(L"Direct3D Window");
    WallpaperLink link;
    link.Connect();
    ASSERT_EQ(link.Window(), first);
    HWND later = Make(L"Direct3D Window");
    Order({first, later}); // a new search would now take `later`
    ASSERT_EQ(Search().wallpaper, later);

    link.NotifyWallpaper(kWallpaperSoundsEnabled, 1);
    Deliver();
    EXPECT_EQ(Received()[first], (Posts{{4, 1}}));
    EXPECT_TRUE(Received()[later].empty());
}

TEST_F(StandIns, AnUnconnectedLinkPostsNothing) {
    HWND wallpaper = Make(L"Direct3D Window");
    WallpaperLink link;
    link.NotifyWallpaper(kWallpaperMusicVolume, 50);
    Deliver();
    EXPECT_TRUE(Received()[wallpaper].empty()) << "got " << Describe(Received()[wallpaper]);
}

} // namespace
