// The save of the settings dialog: the whole tree into the product key, and
// the one error it reports to the user.
#pragma once

#include "platform/win_types.h"
#include "settings/store/settings_tree.h"

#include <string>

// Shows the one error the settings dialog reports to the user.
class ErrorMessageBox {
  public:
    virtual ~ErrorMessageBox() = default;
    // A modal box owned by `owner`, with the error icon and an OK button.
    virtual void Show(HWND owner, const std::wstring& caption, const std::wstring& text) = 0;
};

// Writes the whole tree into the product key. On failure shows the
// registry-write error, translated, once through `messages`, and returns
// false; values written before the failure stay written.
bool WriteSettings(const Node& tree, HWND owner, ErrorMessageBox& messages);

#ifdef _WIN32
// The same with the system's message box.
bool WriteSettings(const Node& tree, HWND owner);
#endif
