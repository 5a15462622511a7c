// The window framework's dialog implementation: a modal dialog from a
// template resource, its messages routed to the object's message map.
#pragma once

#include <windows.h>

namespace platform {

class DialogImplBase {
public:
    // The message map: true when the message was handled, with its result.
    virtual BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    virtual ~DialogImplBase();
    // The dialog procedure: the message map, with the result placed where
    // the system's dialog manager expects it.
    virtual INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Called after the last message (WM_NCDESTROY); the handle is already null.
    virtual void OnFinalMessage(HWND window);

    HWND Handle() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    BOOL EndDialog(INT_PTR result) { return ::EndDialog(window_, result); }

protected:
    DialogImplBase() = default;
    // Runs the dialog of template `templateId` modally, owned by `owner`;
    // `initParam` reaches WM_INITDIALOG as its lParam.
    INT_PTR RunModal(WORD templateId, HWND owner, LPARAM initParam);

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
};

// A dialog class T names its template with `enum { IDD = ... };`.
template <typename T>
class DialogImpl : public DialogImplBase {
public:
    INT_PTR DoModal(HWND owner = nullptr, LPARAM initParam = 0) { return RunModal(T::IDD, owner, initParam); }
};

} // namespace platform
