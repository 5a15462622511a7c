// A library planted beside the screensaver under the name of a system
// library: when anything loads it, it leaves "<its own file>.loaded" beside
// itself, and does nothing else.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH + 8] = {};
    DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    for (const wchar_t* suffix = L".loaded"; *suffix; ++suffix) path[length++] = *suffix;
    HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) {
        // Which program loaded it.
        wchar_t program[MAX_PATH];
        const DWORD size = GetModuleFileNameW(nullptr, program, MAX_PATH);
        DWORD written = 0;
        WriteFile(marker, program, size * sizeof(wchar_t), &written, nullptr);
        CloseHandle(marker);
    }
    return TRUE;
}
