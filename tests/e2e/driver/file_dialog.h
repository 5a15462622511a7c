// The system's open-file dialog, filled in and confirmed as a user would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// A visible open-file dialog of process `processId`, or null after `milliseconds`.
HWND WaitForOpenFileDialog(DWORD processId, DWORD milliseconds);
// The edit field for the file name.
HWND FileNameField(HWND dialog);
// The folder the dialog shows.
std::wstring FileDialogFolder(HWND dialog);
// The display texts of the file-type list, in order.
std::vector<std::wstring> FileDialogTypes(HWND dialog);
// Types `folder` as the file name and presses Open; true once the dialog
// shows that folder.
bool BrowseFileDialog(HWND dialog, const std::wstring& folder, DWORD milliseconds);
// Types `names` (a path, or names in double quotes separated by blanks) and
// presses Open; true once the dialog has closed.
bool SubmitFileDialog(HWND dialog, const std::wstring& names, DWORD milliseconds);

} // namespace e2e
