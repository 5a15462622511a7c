// Finding, reading and driving windows of a program under test.
#include "tests/e2e/driver/windows.h"

#include "tests/e2e/driver/pixels.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>

namespace e2e {
namespace {

constexpr DWORD kPaintDeadline = 3000;

// Whether `window` or a window inside it still has something to paint.
bool NeedsPainting(HWND window) {
    if (GetUpdateRect(window, nullptr, FALSE)) return true;
    bool pending = false;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM found) CALLBACK -> BOOL {
            if (!GetUpdateRect(child, nullptr, FALSE)) return TRUE;
            *reinterpret_cast<bool*>(found) = true;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&pending));
    return pending;
}

} // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        if (condition()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        // Wait for a message or 20 ms, and dispatch what arrived: windows of
        // the driver (stand-ins for other programs) keep working while it waits.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(20, deadline - now)),
                                  QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
    struct Search {
        DWORD processId;
        std::vector<HWND> found;
    } search{processId, {}};
    EnumWindows(
        [](HWND window, LPARAM context) CALLBACK -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD processId, const wchar_t* className, const wchar_t* caption, DWORD milliseconds) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(processId)) {
                if (!IsWindowVisible(window)) continue;
                if (className && ClassName(window) != className) continue;
                if (caption && WindowText(window) != caption) continue;
                found = window;
                return true;
            }
            return false;
        },
        milliseconds);
    return found;
}

std::wstring ClassName(HWND window) {
    wchar_t name[257];
    const int length = GetClassNameW(window, name, 257);
    return std::wstring(name, length > 0 ? length : 0);
}

std::wstring WindowText(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(copied));
    return text;
}

HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }
bool IsChecked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool IsEnabled(HWND control) { return IsWindowEnabled(control) != FALSE; }
int TrackbarPosition(HWND trackbar) { return static_cast<int>(SendMessageW(trackbar, TBM_GETPOS, 0, 0)); }

std::vector<std::wstring> ComboItems(HWND combo) {
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0) break;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(length));
        items.push_back(text);
    }
    return items;
}

int ComboSelection(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }
LRESULT ComboItemData(HWND combo, int index) { return SendMessageW(combo, CB_GETITEMDATA, index, 0); }

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void WaitForHandler(HWND window) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &ignored);
}

void MoveTrackbar(HWND trackbar, int position) {
    SendMessageW(trackbar, TBM_SETPOS, TRUE, position);
    PostMessageW(GetParent(trackbar), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                 reinterpret_cast<LPARAM>(trackbar));
}

void SelectComboItem(HWND combo, int index) {
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    const int id = GetDlgCtrlID(combo);
    HWND parent = GetParent(combo);
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo));
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void Close(HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }

bool SaveScreenshot(HWND window, const std::wstring& path) {
    // Have the window (of whatever process) paint itself completely first. Its
    // process paints when it next waits for messages, and what it paints
    // reaches the screen a moment later: wait until nothing is left to paint,
    // then until two captures in a row agree.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    WaitUntil([&] { return !NeedsPainting(window); }, kPaintDeadline);
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    std::optional<Image> shown = CaptureScreen(rect);
    WaitUntil(
        [&] {
            std::optional<Image> again = CaptureScreen(rect);
            const bool settled = shown && again && again->pixels == shown->pixels;
            shown = std::move(again);
            return settled;
        },
        kPaintDeadline);
    return shown && SaveBitmap(*shown, path);
}

} // namespace e2e
