// Modal dialogs and their message routing for the window framework.
#include "platform/dialog_win.h"

#include "platform/app_module_win.h"

namespace platform {
namespace {

// The dialog being created on this thread: the template's own messages
// (WM_SETFONT, WM_INITDIALOG) arrive before the object is attached.
thread_local DialogImplBase* t_creating = nullptr;

// Messages whose result the dialog procedure returns itself instead of
// through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
    case WM_INITDIALOG:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return true;
    default:
        return false;
    }
}

} // namespace

DialogImplBase::~DialogImplBase() = default;

void DialogImplBase::OnFinalMessage(HWND) {}

INT_PTR DialogImplBase::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!ProcessWindowMessage(window_, message, wParam, lParam, result)) return FALSE;
    if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR DialogImplBase::RunModal(WORD templateId, HWND owner, LPARAM initParam) {
    HINSTANCE instance = Module().Instance();
    if (!instance) instance = GetModuleHandleW(nullptr);
    DialogImplBase* const outer = t_creating;
    t_creating = this;
    const INT_PTR result =
        DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner, &DialogImplBase::Procedure, initParam);
    t_creating = outer;
    return result;
}

INT_PTR CALLBACK DialogImplBase::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DialogImplBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self && t_creating) {
        self = t_creating;
        t_creating = nullptr;
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return FALSE;

    const INT_PTR handled = self->DialogProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        self->OnFinalMessage(window);
    }
    return handled;
}

} // namespace platform
