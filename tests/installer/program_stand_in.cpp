// The main program as the installer meets it, played by a test program: one
// instance per mode through the mode's mutex, a hidden control window that
// ends the mode on WM_CLOSE, "/stop" closing a running wallpaper, and a record
// of how it was started for the test to read.
#include "main_program/app/program_names.h"
#include "tests/e2e/driver/main_program_stand_in_protocol.h"

#include <windows.h>

#include <string>

namespace {

// While set, WM_CLOSE is ignored: an instance that will not end when asked.
constexpr wchar_t kIgnoreCloseVariable[] = L"SORVANE_STAND_IN_IGNORE_CLOSE";
// Only a safety net so that an instance whose test died does not linger.
constexpr UINT kLongestLifeMilliseconds = 180000;

bool ignoreClose = false;

std::wstring Environment(const wchar_t* name) {
    wchar_t value[4096];
    const DWORD length = GetEnvironmentVariableW(name, value, 4096);
    return length > 0 && length < 4096 ? std::wstring(value, length) : std::wstring();
}

// Written beside the final name and renamed, so that a reader never sees half a record.
void WriteRecord() {
    using namespace e2e::stand_in;
    const std::wstring path = Environment(kRecordVariable);
    if (path.empty()) return;
    wchar_t folder[4096];
    const DWORD folderLength = GetCurrentDirectoryW(4096, folder);
    const std::wstring record = std::wstring(kCommandLineField) + L"=" + GetCommandLineW() + L"\n" +
                                kWorkingFolderField + L"=" +
                                std::wstring(folder, folderLength < 4096 ? folderLength : 0) + L"\n" +
                                kProcessIdField + L"=" + std::to_wstring(GetCurrentProcessId()) + L"\n";
    const std::wstring partial = path + L".partial";
    HANDLE file =
        CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    const DWORD bytes = static_cast<DWORD>(record.size() * sizeof(wchar_t));
    const bool complete = WriteFile(file, record.data(), bytes, &written, nullptr) && written == bytes;
    CloseHandle(file);
    if (complete) MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

LRESULT CALLBACK ControlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        if (!ignoreClose) DestroyWindow(window);
        return 0;
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    const std::wstring arguments = commandLine;
    if (arguments.find(L"/stop") != std::wstring::npos) {
        if (HWND running = FindWindowW(main_program::kWallpaperControlClass, nullptr))
            PostMessageW(running, WM_CLOSE, 0, 0);
        return 0;
    }
    const bool wallpaper = arguments.find(L"/w") != std::wstring::npos;
    HANDLE mutex = CreateMutexW(nullptr, TRUE,
                                wallpaper ? main_program::kWallpaperInstanceName
                                          : main_program::kScreensaverInstanceName);
    if (!mutex) return 1;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return 0;
    }
    ignoreClose = !Environment(kIgnoreCloseVariable).empty();

    WNDCLASSW controlClass = {};
    controlClass.lpfnWndProc = ControlProcedure;
    controlClass.hInstance = instance;
    controlClass.lpszClassName =
        wallpaper ? main_program::kWallpaperControlClass : main_program::kScreensaverControlClass;
    RegisterClassW(&controlClass);
    HWND control = CreateWindowExW(0, controlClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   instance, nullptr);
    if (!control) return 1;
    SetTimer(control, 1, kLongestLifeMilliseconds, nullptr);
    // Recorded once the instance can be found, so that a test that has read
    // the record may close it.
    WriteRecord();

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
