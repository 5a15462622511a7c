// Handing an elevated start to the desktop's shell.
#include "main_program/desktop/elevation_win.h"

#include "platform/com_objects_win.h"

#include <windows.h>

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <string>

namespace desktop {
namespace {

bool IsElevated(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return false;
    const platform::ScopedHandle owner(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

std::wstring OwnFile() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return path.substr(0, length);
        path.resize(path.size() * 2);
    }
}

// A VARIANT holding a text, cleared when it goes.
class TextVariant {
  public:
    explicit TextVariant(const wchar_t* text) {
        VariantInit(&value_);
        value_.vt = VT_BSTR;
        value_.bstrVal = SysAllocString(text);
    }
    ~TextVariant() { VariantClear(&value_); }
    TextVariant(const TextVariant&) = delete;
    TextVariant& operator=(const TextVariant&) = delete;
    const VARIANT& Get() const { return value_; }
    bool Valid() const { return value_.bstrVal != nullptr; }

  private:
    VARIANT value_;
};

// The desktop's folder view, as an automation object of the shell's process.
platform::ComPtr<IShellDispatch2> DesktopShellDispatch() {
    platform::ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                windows.ReceiveVoid())))
        return {};
    VARIANT desktop;
    VariantInit(&desktop);
    desktop.vt = VT_I4;
    desktop.lVal = CSIDL_DESKTOP;
    VARIANT none;
    VariantInit(&none);
    long windowHandle = 0;
    platform::ComPtr<IDispatch> found;
    if (windows->FindWindowSW(&desktop, &none, SWC_DESKTOP, &windowHandle, SWFO_NEEDDISPATCH, found.Receive()) !=
            S_OK ||
        !found)
        return {};
    platform::ComPtr<IServiceProvider> services;
    platform::ComPtr<IShellBrowser> browser;
    platform::ComPtr<IShellView> view;
    platform::ComPtr<IDispatch> background;
    platform::ComPtr<IShellFolderViewDual> folderView;
    platform::ComPtr<IDispatch> application;
    platform::ComPtr<IShellDispatch2> shell;
    if (FAILED(found->QueryInterface(IID_IServiceProvider, services.ReceiveVoid())) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.ReceiveVoid())) ||
        FAILED(browser->QueryActiveShellView(view.Receive())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.ReceiveVoid())) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.ReceiveVoid())) ||
        FAILED(folderView->get_Application(application.Receive())) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.ReceiveVoid())))
        return {};
    return shell;
}

} // namespace

bool ShouldHandStartToShell() {
    if (!IsElevated(GetCurrentProcess())) return false;
    DWORD shellId = 0;
    const HWND shellWindow = GetShellWindow();
    if (!shellWindow || !GetWindowThreadProcessId(shellWindow, &shellId)) return false;
    const platform::ScopedHandle shell(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellId));
    // A shell we may not even look at is not elevated as we are.
    return !shell || !IsElevated(shell.Get());
}

bool StartThroughShell(const wchar_t* arguments) {
    const platform::ComApartment com;
    const platform::ComPtr<IShellDispatch2> shell = DesktopShellDispatch();
    if (!shell) return false;
    const std::wstring file = OwnFile();
    const platform::Bstr fileText(file.c_str());
    const TextVariant args(arguments), folder(L""), operation(L"open");
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return !file.empty() && fileText && args.Valid() &&
           SUCCEEDED(shell->ShellExecute(fileText.Get(), args.Get(), folder.Get(), operation.Get(), show));
}

} // namespace desktop
