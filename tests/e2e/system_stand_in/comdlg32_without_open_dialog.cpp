// Stands in for a common-dialog library that lacks the open-file dialog: put
// in the system folder as comdlg32.dll, it exports CommDlgExtendedError only.
#include <windows.h>

extern "C" DWORD WINAPI CommDlgExtendedError() { return 0; }
