// Driving the open-file dialog: its file-name field, folder and Open button.
#include "tests/e2e/driver/file_dialog.h"

#include "tests/e2e/driver/remote_memory.h"
#include "tests/e2e/driver/windows.h"

#include <commdlg.h>
#include <dlgs.h>

#include <cwctype>

namespace e2e {
namespace {

HWND FindDescendant(HWND parent, int id, const wchar_t* className) {
    struct Search {
        int id;
        const wchar_t* className;
        HWND found;
    } search{id, className, nullptr};
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM context) CALLBACK -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            if (GetDlgCtrlID(window) != s->id || ClassName(window) != s->className) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND OpenButton(HWND dialog) { return FindDescendant(dialog, IDOK, L"Button"); }

std::wstring FolderKey(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    for (wchar_t& c : path)
        c = static_cast<wchar_t>(std::towlower(c));
    return path;
}

bool Type(HWND dialog, const std::wstring& text) {
    HWND field = FileNameField(dialog);
    if (!field) return false;
    SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return WindowText(field) == text;
}

} // namespace

HWND WaitForOpenFileDialog(DWORD processId, DWORD milliseconds) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(processId)) {
                if (IsWindowVisible(window) && ClassName(window) == L"#32770" && FileNameField(window) &&
                    OpenButton(window)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        milliseconds);
    return found;
}

HWND FileNameField(HWND dialog) {
    // The explorer-style dialog keeps the name in an edit inside combo box
    // cmb13; older layouts use the plain edit edt1.
    if (HWND field = FindDescendant(dialog, cmb13, L"Edit")) return field;
    return FindDescendant(dialog, edt1, L"Edit");
}

std::wstring FileDialogFolder(HWND dialog) {
    constexpr std::size_t capacity = 4096;
    RemoteMemory memory(dialog, capacity * sizeof(wchar_t));
    if (!memory.Valid()) return {};
    const LRESULT length = SendMessageW(dialog, CDM_GETFOLDERPATH, capacity, memory.Param());
    if (length <= 0) return {};
    std::wstring folder(capacity, L'\0');
    if (!memory.Read(0, folder.data(), capacity * sizeof(wchar_t))) return {};
    const std::size_t end = folder.find(L'\0');
    if (end != std::wstring::npos) folder.resize(end);
    return folder;
}

std::vector<std::wstring> FileDialogTypes(HWND dialog) { return ComboItems(GetDlgItem(dialog, cmb1)); }

bool BrowseFileDialog(HWND dialog, const std::wstring& folder, DWORD milliseconds) {
    if (!Type(dialog, folder)) return false;
    Click(OpenButton(dialog));
    return WaitUntil([&] { return FolderKey(FileDialogFolder(dialog)) == FolderKey(folder); }, milliseconds);
}

bool SubmitFileDialog(HWND dialog, const std::wstring& names, DWORD milliseconds) {
    // A navigation still under way (the dialog may have been in the folder
    // already) can clear the name after it was typed, and Open then only
    // refreshes the folder: the name is typed and Open pressed again until
    // the dialog closes.
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do {
        if (!IsWindow(dialog)) return true;
        if (!Type(dialog, names)) return !IsWindow(dialog);
        Click(OpenButton(dialog));
        if (WaitUntil([&] { return !IsWindow(dialog); }, 3000)) return true;
    } while (GetTickCount64() < deadline);
    return !IsWindow(dialog);
}

} // namespace e2e
