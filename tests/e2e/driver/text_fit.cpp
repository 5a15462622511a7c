// Measuring another program's control texts against their controls, with the
// room each kind of control keeps for itself when it draws its text.
#include "tests/e2e/driver/text_fit.h"

#include "tests/e2e/driver/windows.h"

namespace e2e {
namespace {

constexpr DWORD kListDeadline = 5000;

std::string Utf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    return bytes;
}

class MeasuringDc {
  public:
    explicit MeasuringDc(HFONT font) : dc_(CreateCompatibleDC(nullptr)), old_(SelectObject(dc_, font)) {}
    ~MeasuringDc() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    MeasuringDc(const MeasuringDc&) = delete;
    MeasuringDc& operator=(const MeasuringDc&) = delete;

    // The extent DrawText gives `text` with `flags`, wrapped at `width` when
    // the flags wrap.
    SIZE Extent(const std::wstring& text, UINT flags, int width = 0) const {
        RECT rect{0, 0, width, 0};
        DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &rect, flags | DT_CALCRECT);
        return {rect.right - rect.left, rect.bottom - rect.top};
    }
    int CharWidth(wchar_t c) const {
        INT width = 0;
        GetCharWidth32W(dc_, c, c, &width);
        return width;
    }
    HDC Get() const { return dc_; }

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// What a control needs for its text: the text's extent plus what the control
// keeps around it, against its client area.
struct Demand {
    const char* kind = nullptr; // null: the control shows no text of its own
    SIZE text{};
    SIZE chrome{}; // the control's own room beside the text, both sides together
    bool checkHeight = true;
};

// The room the system's buttons keep: a check box's box and the gap after it,
// a push button's frame, a group box's caption inset; and one pixel of text
// margin on either side in each.
Demand ButtonDemand(const MeasuringDc& dc, HWND button, const std::wstring& text, UINT dpi) {
    const LONG style = GetWindowLongW(button, GWL_STYLE);
    const UINT flags = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
    RECT client;
    GetClientRect(button, &client);
    Demand demand;
    const LONG type = style & BS_TYPEMASK;
    switch (type) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON: {
        const int frame = type == BS_DEFPUSHBUTTON ? 3 : 2;
        demand.kind = "push button";
        demand.chrome = {2 * (frame + 1), 2 * (frame + 1)};
        break;
    }
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: {
        const int box = static_cast<int>(12 * dpi / 96 + 1);
        demand.kind = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON ? "radio button" : "check box";
        demand.chrome = {box + dc.CharWidth(L'0') / 2 + 2, 2};
        break;
    }
    case BS_GROUPBOX:
        demand.kind = "group box caption";
        demand.chrome = {2 * (7 + 1), 0};
        demand.checkHeight = false;
        break;
    default:
        return demand;
    }
    demand.text = dc.Extent(text, flags, client.right - demand.chrome.cx);
    return demand;
}

// Static texts wrap at their width (unless told not to) and show as many
// lines as their height holds.
Demand StaticDemand(const MeasuringDc& dc, HWND label, const std::wstring& text) {
    const LONG style = GetWindowLongW(label, GWL_STYLE);
    UINT flags = DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
    Demand demand;
    switch (style & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
        demand.kind = "static text";
        flags |= DT_WORDBREAK;
        break;
    case SS_LEFTNOWORDWRAP:
        demand.kind = "static text";
        break;
    case SS_SIMPLE:
        demand.kind = "static text";
        flags |= DT_SINGLELINE;
        break;
    default:
        return demand;
    }
    RECT client;
    GetClientRect(label, &client);
    demand.text = dc.Extent(text, flags, client.right);
    return demand;
}

std::string Describe(HWND control, const char* kind, const std::wstring& text, SIZE needed, SIZE given) {
    return "control " + std::to_string(GetDlgCtrlID(control)) + " (" + kind + ") \"" + Utf8(text) + "\" needs " +
           std::to_string(needed.cx) + " x " + std::to_string(needed.cy) + " px, has " + std::to_string(given.cx) +
           " x " + std::to_string(given.cy);
}

// The open list of `combo`: the visible list window of its process.
HWND OpenList(HWND combo) {
    DWORD process = 0;
    GetWindowThreadProcessId(combo, &process);
    HWND list = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(process))
                if (IsWindowVisible(window) && ClassName(window) == L"ComboLBox") list = window;
            return list != nullptr;
        },
        kListDeadline);
    return list;
}

// Each entry of a combo box against the width of its open list: the list
// draws an entry one pixel in from either side of its client area.
void CheckComboEntries(const MeasuringDc& dc, HWND combo, std::vector<std::string>& cut) {
    const std::vector<std::wstring> items = ComboItems(combo);
    if (items.empty()) return;
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    HWND list = OpenList(combo);
    RECT client{};
    if (list) GetClientRect(list, &client);
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    if (!list) {
        cut.push_back("control " + std::to_string(GetDlgCtrlID(combo)) + " (combo box): its list did not open");
        return;
    }
    for (const auto& item : items) {
        const SIZE text = dc.Extent(item, DT_SINGLELINE | DT_NOPREFIX);
        const SIZE needed{text.cx + 2, text.cy};
        if (needed.cx > client.right)
            cut.push_back(Describe(combo, "combo box entry", item, needed, {client.right, client.bottom}));
    }
}

} // namespace

DialogFont::DialogFont(const DialogTemplate& dialogTemplate, UINT dpi) : dpi_(dpi) {
    // As the dialog manager makes it: the point size at the screen's pixels per inch.
    font_ = CreateFontW(-MulDiv(dialogTemplate.pointSize, static_cast<int>(dpi), 72), 0, 0, 0, dialogTemplate.weight,
                        dialogTemplate.italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                        PROOF_QUALITY, FF_DONTCARE, dialogTemplate.typeface.c_str());
    if (!font_) return;
    const MeasuringDc dc(font_);
    // Dialog base units: the mean width of the Latin letters, rounded, and the line height.
    static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE letters{};
    TEXTMETRICW metrics{};
    if (GetTextExtentPoint32W(dc.Get(), kLetters, 52, &letters) && GetTextMetricsW(dc.Get(), &metrics))
        baseUnits_ = {(letters.cx / 26 + 1) / 2, metrics.tmHeight};
}

DialogFont::~DialogFont() {
    if (font_) DeleteObject(font_);
}

std::vector<std::string> MovedControls(HWND dialog, const DialogTemplate& layout, const DialogFont& font) {
    std::vector<std::string> moved;
    HWND control = GetTopWindow(dialog);
    for (const auto& item : layout.items) {
        if (!control) {
            moved.push_back("control " + std::to_string(static_cast<int>(item.id)) + " is missing");
            break;
        }
        RECT shown;
        GetWindowRect(control, &shown);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&shown), 2);
        const SIZE origin = font.DialogUnitsToPixels(item.x, item.y);
        const SIZE size = font.DialogUnitsToPixels(item.cx, item.cy);
        // A drop-down combo box's height is its closed field's, not its template's.
        const bool combo = _wcsicmp(item.className.c_str(), L"ComboBox") == 0;
        if (shown.left != origin.cx || shown.top != origin.cy || shown.right - shown.left != size.cx ||
            (!combo && shown.bottom - shown.top != size.cy))
            moved.push_back(
                "control " + std::to_string(GetDlgCtrlID(control)) + " is at " + std::to_string(shown.left) + "," +
                std::to_string(shown.top) + " " + std::to_string(shown.right - shown.left) + " x " +
                std::to_string(shown.bottom - shown.top) + " px, its template puts it at " + std::to_string(origin.cx) +
                "," + std::to_string(origin.cy) + " " + std::to_string(size.cx) + " x " + std::to_string(size.cy));
        control = GetWindow(control, GW_HWNDNEXT);
    }
    return moved;
}

SIZE DialogFont::DialogUnitsToPixels(int cx, int cy) const {
    return {MulDiv(cx, baseUnits_.cx, 4), MulDiv(cy, baseUnits_.cy, 8)};
}

UINT WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    if (HMODULE user = GetModuleHandleW(L"user32.dll"))
        if (auto getDpi = reinterpret_cast<GetDpiForWindowFunction>(
                reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow"))))
            return getDpi(window);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

std::vector<std::string> CutTexts(HWND dialog, const DialogFont& font) {
    std::vector<std::string> cut;
    const MeasuringDc dc(font.Get());
    for (HWND control = GetTopWindow(dialog); control; control = GetWindow(control, GW_HWNDNEXT)) {
        if (!IsWindowVisible(control)) continue;
        const std::wstring kind = ClassName(control);
        if (_wcsicmp(kind.c_str(), L"ComboBox") == 0) {
            CheckComboEntries(dc, control, cut);
            continue;
        }
        const std::wstring text = WindowText(control);
        if (text.empty()) continue;
        Demand demand;
        if (_wcsicmp(kind.c_str(), L"Button") == 0)
            demand = ButtonDemand(dc, control, text, font.Dpi());
        else if (_wcsicmp(kind.c_str(), L"Static") == 0)
            demand = StaticDemand(dc, control, text);
        if (!demand.kind) continue;
        RECT client;
        GetClientRect(control, &client);
        const SIZE needed{demand.text.cx + demand.chrome.cx, demand.text.cy + demand.chrome.cy};
        if (needed.cx > client.right || (demand.checkHeight && needed.cy > client.bottom))
            cut.push_back(Describe(control, demand.kind, text, needed, {client.right, client.bottom}));
    }
    return cut;
}

} // namespace e2e
