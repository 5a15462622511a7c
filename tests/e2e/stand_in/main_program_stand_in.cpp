// A stand-in for the product's main program: records how it was started
// (command line, working folder, process id, start time), waits for the test's
// signal if asked to, and exits with the code the test chose.
#include "tests/e2e/driver/main_program_stand_in_protocol.h"

#include <windows.h>

#include <cwchar>
#include <string>

namespace {

// Only a safety net so that a stand-in whose test died does not linger; the
// tests release it long before.
constexpr DWORD kLongestHold = 120000;

std::wstring Environment(const wchar_t* name) {
    wchar_t value[4096];
    const DWORD length = GetEnvironmentVariableW(name, value, 4096);
    return length > 0 && length < 4096 ? std::wstring(value, length) : std::wstring();
}

std::wstring CurrentFolder() {
    wchar_t folder[4096];
    const DWORD length = GetCurrentDirectoryW(4096, folder);
    return length > 0 && length < 4096 ? std::wstring(folder, length) : std::wstring();
}

// Written beside the final name and then renamed, so that a reader never sees half a record.
void WriteRecord(const std::wstring& path, const std::wstring& record) {
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

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    LARGE_INTEGER started;
    QueryPerformanceCounter(&started);
    using namespace e2e::stand_in;

    const std::wstring recordPath = Environment(kRecordVariable);
    if (!recordPath.empty()) {
        std::wstring record;
        record += std::wstring(kCommandLineField) + L"=" + GetCommandLineW() + L"\n";
        record += std::wstring(kWorkingFolderField) + L"=" + CurrentFolder() + L"\n";
        record += std::wstring(kProcessIdField) + L"=" + std::to_wstring(GetCurrentProcessId()) + L"\n";
        record += std::wstring(kStartedField) + L"=" + std::to_wstring(started.QuadPart) + L"\n";
        WriteRecord(recordPath, record);
    }

    const std::wstring holdName = Environment(kHoldVariable);
    if (!holdName.empty()) {
        if (HANDLE hold = OpenEventW(SYNCHRONIZE, FALSE, holdName.c_str())) {
            WaitForSingleObject(hold, kLongestHold);
            CloseHandle(hold);
        }
    }
    return static_cast<int>(std::wcstoul(Environment(kExitCodeVariable).c_str(), nullptr, 10));
}
