// Whether the texts of another program's dialog fit their controls: each text
// measured with the dialog's font as the system's controls draw it.
#pragma once

#include "tests/e2e/driver/dialog_template.h"

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// The font that a dialog made from `dialogTemplate` gives its controls: the
// template's typeface and size at `dpi`. A window's font handle means nothing
// outside its own process, so the driver makes the same font itself.
class DialogFont {
  public:
    DialogFont(const DialogTemplate& dialogTemplate, UINT dpi);
    ~DialogFont();
    DialogFont(const DialogFont&) = delete;
    DialogFont& operator=(const DialogFont&) = delete;

    HFONT Get() const { return font_; }
    UINT Dpi() const { return dpi_; }
    // The client size the dialog manager gives a dialog of `cx` x `cy` dialog
    // units with this font: a dialog of that size was laid out with this font.
    SIZE DialogUnitsToPixels(int cx, int cy) const;

  private:
    HFONT font_ = nullptr;
    UINT dpi_;
    SIZE baseUnits_{};
};

// The DPI at which the system shows `window` (its monitor's, for a program
// that is aware of it).
UINT WindowDpi(HWND window);

// Every text of `dialog`'s visible controls (static texts, buttons, check
// boxes, radio buttons, group box captions, combo box entries) that needs more
// room than its control gives it, one line each: control, text, room needed
// and room given. Empty when everything fits. Opens each combo box's list for
// a moment to measure it.
std::vector<std::string> CutTexts(HWND dialog, const DialogFont& font);

// Every control of `dialog` whose rectangle is no longer the one its template
// item gives with `font`, one line each; the controls are taken in template
// order, the order in which the dialog manager made them.
std::vector<std::string> MovedControls(HWND dialog, const DialogTemplate& layout, const DialogFont& font);

} // namespace e2e
