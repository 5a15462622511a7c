// Growing a dialog's text controls into free space when a translation is
// longer than the English text that their template rectangles were made for.
#include "localization/language_table.h"

#include "platform/library_win.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Distances in dialog units: the inset of a group box's contents (the
// templates put them 3 units inside the frame), the margin of the dialog, and
// the least gap kept to a neighbour.
constexpr int kGroupInset = 3;
constexpr int kDialogMargin = 7;
constexpr int kNeighbourGap = 4;

enum class Kind { Other, PushButton, CheckBox, GroupBox, Text };

Kind KindOf(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    if (_wcsicmp(name, L"Button") == 0) {
        switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
            return Kind::PushButton;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return Kind::CheckBox;
        case BS_GROUPBOX:
            return Kind::GroupBox;
        default:
            return Kind::Other;
        }
    }
    if (_wcsicmp(name, L"Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) return Kind::Text;
    }
    return Kind::Other;
}

UINT WindowDpi(HWND window) {
    if (const auto getDpi = reinterpret_cast<platform::WinApiFunction<UINT, HWND>>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow"))))
        return getDpi(window);
    HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(window, dc);
    return static_cast<UINT>(dpi);
}

struct Control {
    HWND window;
    Kind kind;
    RECT rect; // in the dialog's client coordinates
};

// What a text control needs to show its text whole at a given width: the
// text's extent with the control's font, plus what the control keeps beside
// the text (a check box's box and the gap after it, a push button's frame, and
// a pixel of margin around the text).
class TextDemand {
  public:
    TextDemand(const Control& control, UINT dpi) : window_(control.window) {
        const LONG style = GetWindowLongW(window_, GWL_STYLE);
        const bool text = control.kind == Kind::Text;
        wraps_ = text || (style & BS_MULTILINE);
        flags_ = text ? DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0) : 0;
        rightAnchored_ = text && (style & SS_TYPEMASK) == SS_RIGHT;
        const int length = GetWindowTextLengthW(window_);
        text_.resize(static_cast<size_t>(length) + 1);
        text_.resize(static_cast<size_t>(std::max(0, GetWindowTextW(window_, text_.data(), length + 1))));
        if (control.kind == Kind::PushButton) {
            const int frame = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? 3 : 2;
            chrome_ = {2 * (frame + 1), 2 * (frame + 1)};
        } else if (control.kind == Kind::CheckBox) {
            chrome_ = {MulDiv(12, static_cast<int>(dpi), 96) + 1 + HalfDigitWidth() + 2, 2};
        }
    }

    bool Empty() const { return text_.empty(); }
    bool RightAnchored() const { return rightAnchored_; }
    // The size needed in one line.
    SIZE Unwrapped() const { return Measure(INT_MAX / 2, false); }
    // The size needed when `width` wide, wrapping where the control wraps or
    // may be made to.
    SIZE Wrapped(int width) const { return Measure(width, true); }
    bool Fits(int width, int height) const {
        const SIZE needed = Measure(width, wraps_);
        return needed.cx <= width && needed.cy <= height;
    }

  private:
    SIZE Measure(int width, bool wrap) const {
        HDC dc = GetDC(window_);
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window_, WM_GETFONT, 0, 0)));
        RECT rect{0, 0, std::max(1, width - static_cast<int>(chrome_.cx)), 0};
        DrawTextW(dc, text_.data(), static_cast<int>(text_.size()), &rect,
                  flags_ | DT_CALCRECT | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
        SelectObject(dc, old);
        ReleaseDC(window_, dc);
        return {rect.right + chrome_.cx, rect.bottom + chrome_.cy};
    }
    int HalfDigitWidth() const {
        HDC dc = GetDC(window_);
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window_, WM_GETFONT, 0, 0)));
        INT width = 0;
        GetCharWidth32W(dc, L'0', L'0', &width);
        SelectObject(dc, old);
        ReleaseDC(window_, dc);
        return width / 2;
    }

    HWND window_;
    std::wstring text_;
    UINT flags_ = 0;
    bool wraps_ = false;
    bool rightAnchored_ = false;
    SIZE chrome_{};
};

bool Contains(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}
bool OverlapVertically(const RECT& a, const RECT& b) { return a.top < b.bottom && b.top < a.bottom; }
bool OverlapHorizontally(const RECT& a, const RECT& b) { return a.left < b.right && b.left < a.right; }

class DialogLayout {
  public:
    explicit DialogLayout(HWND dialog) : dialog_(dialog), dpi_(WindowDpi(dialog)) {
        for (HWND child = GetTopWindow(dialog); child; child = GetWindow(child, GW_HWNDNEXT)) {
            Control control{child, KindOf(child), {}};
            GetWindowRect(child, &control.rect);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&control.rect), 2);
            controls_.push_back(control);
        }
        groupInset_ = DialogUnits(kGroupInset);
        dialogMargin_ = DialogUnits(kDialogMargin);
        gap_ = DialogUnits(kNeighbourGap);
    }

    void Fit() {
        for (auto& control : controls_) {
            if (control.kind == Kind::Other || control.kind == Kind::GroupBox) continue;
            const TextDemand demand(control, dpi_);
            if (demand.Empty() || demand.Fits(Width(control.rect), Height(control.rect))) continue;
            Grow(control, demand);
        }
    }

  private:
    // `units` dialog units across and down, in pixels.
    SIZE DialogUnits(int units) const {
        RECT rect{0, 0, units, units};
        MapDialogRect(dialog_, &rect);
        return {rect.right, rect.bottom};
    }
    static LONG Width(const RECT& rect) { return rect.right - rect.left; }
    static LONG Height(const RECT& rect) { return rect.bottom - rect.top; }

    // The room a control may take: the inside of the smallest group box that
    // holds it, or the dialog within its margin.
    RECT Area(const Control& control) const {
        RECT area;
        GetClientRect(dialog_, &area);
        InflateRect(&area, -dialogMargin_.cx, -dialogMargin_.cy);
        const RECT* group = nullptr;
        for (const auto& other : controls_)
            if (IsContainer(other, control) && (!group || Contains(*group, other.rect))) group = &other.rect;
        if (group) {
            area = *group;
            InflateRect(&area, -groupInset_.cx, -groupInset_.cy);
        }
        return area;
    }
    static bool IsContainer(const Control& other, const Control& control) {
        return other.kind == Kind::GroupBox && &other != &control && Contains(other.rect, control.rect);
    }
    static bool IsObstacle(const Control& other, const Control& control) {
        return &other != &control && !IsContainer(other, control);
    }

    // The furthest the right edge may move: up to the area's edge and the
    // first neighbour to the right, less the gap, but never back.
    LONG RightLimit(const Control& control, const RECT& rect) const {
        LONG limit = Area(control).right;
        for (const auto& other : controls_)
            if (IsObstacle(other, control) && OverlapVertically(other.rect, rect) && other.rect.right > rect.right)
                limit = std::min(limit, other.rect.left - gap_.cx);
        return std::max(limit, rect.right);
    }
    LONG LeftLimit(const Control& control, const RECT& rect) const {
        LONG limit = Area(control).left;
        for (const auto& other : controls_)
            if (IsObstacle(other, control) && OverlapVertically(other.rect, rect) && other.rect.left < rect.left)
                limit = std::max(limit, other.rect.right + gap_.cx);
        return std::min(limit, rect.left);
    }
    LONG BottomLimit(const Control& control, const RECT& rect) const {
        LONG limit = Area(control).bottom;
        for (const auto& other : controls_)
            if (IsObstacle(other, control) && OverlapHorizontally(other.rect, rect) && other.rect.bottom > rect.bottom)
                limit = std::min(limit, other.rect.top - gap_.cy);
        return std::max(limit, rect.bottom);
    }

    // Wider first, on the side the text is anchored to, then the other side;
    // then, when one line still cannot hold the text, more lines below.
    void Grow(Control& control, const TextDemand& demand) {
        RECT rect = control.rect;
        const LONG wanted = demand.Unwrapped().cx;
        for (int pass = 0; pass < 2 && Width(rect) < wanted; ++pass) {
            if ((pass == 0) != demand.RightAnchored())
                rect.right = std::min(RightLimit(control, rect), rect.left + wanted);
            else
                rect.left = std::max(LeftLimit(control, rect), rect.right - wanted);
        }
        if (!demand.Fits(Width(rect), Height(rect))) {
            const LONG height = demand.Wrapped(Width(rect)).cy;
            if (height > Height(rect)) {
                rect.bottom = std::min(BottomLimit(control, rect), rect.top + height);
                if (control.kind != Kind::Text)
                    SetWindowLongW(control.window, GWL_STYLE, GetWindowLongW(control.window, GWL_STYLE) | BS_MULTILINE);
            }
        }
        control.rect = rect;
        SetWindowPos(control.window, nullptr, rect.left, rect.top, Width(rect), Height(rect),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

    HWND dialog_;
    UINT dpi_;
    std::vector<Control> controls_;
    SIZE groupInset_{};
    SIZE dialogMargin_{};
    SIZE gap_{};
};

} // namespace

void FitTranslatedTexts(HWND dialog) { DialogLayout(dialog).Fit(); }
