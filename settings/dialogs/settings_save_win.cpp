// The settings save with the system's message box.
#include "settings/dialogs/settings_save.h"

#include <windows.h>

namespace {

class SystemErrorMessageBox final : public ErrorMessageBox {
  public:
    void Show(HWND owner, const std::wstring& caption, const std::wstring& text) override {
        MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
    }
};

} // namespace

bool WriteSettings(const Node& tree, HWND owner) {
    SystemErrorMessageBox messages;
    return WriteSettings(tree, owner, messages);
}
