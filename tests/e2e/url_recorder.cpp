// Stands in for the browser: the test prefix registers it as the handler of
// https addresses, and it writes the address it was given to
// %SORVANE_ARTIFACTS%\opened_url.txt (UTF-16), then ends.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    wchar_t folder[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"SORVANE_ARTIFACTS", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    const std::wstring path = std::wstring(folder) + L"\\opened_url.txt";
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return 1;
    const std::wstring address = argc > 1 ? argv[1] : L"";
    fwrite(address.data(), sizeof(wchar_t), address.size(), out);
    fclose(out);
    return 0;
}
