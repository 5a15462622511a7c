// Starting programs under test and waiting for them.
#include "tests/e2e/driver/process.h"

#include <utility>
#include <vector>

namespace e2e {
namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[4096];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 4096);
    return length > 0 && length < 4096 ? std::wstring(buffer, length) : std::wstring();
}

double MillisecondsBetween(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace

std::wstring ScreensaverPath() { return Environment(L"SORVANE_SCR"); }
std::wstring ArtifactsFolder() { return Environment(L"SORVANE_ARTIFACTS"); }
std::wstring TestBinFolder() { return Environment(L"SORVANE_TEST_BIN"); }
bool TwoScreensRequested() { return Environment(L"SORVANE_SCREENS") == L"2"; }

Process Process::Start(const std::wstring& program, const std::wstring& arguments, const std::wstring& workingFolder) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    Process result;
    QueryPerformanceCounter(&result.started_);
    if (!CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info))
        return result;
    CloseHandle(info.hThread);
    result.process_ = info.hProcess;
    result.id_ = info.dwProcessId;
    return result;
}

Process Process::Screensaver(const std::wstring& switches, const std::wstring& workingFolder) {
    return Start(ScreensaverPath(), switches, workingFolder);
}

Process::Process(Process&& other) noexcept { *this = std::move(other); }

Process& Process::operator=(Process&& other) noexcept {
    std::swap(process_, other.process_);
    std::swap(id_, other.id_);
    std::swap(started_, other.started_);
    std::swap(ended_, other.ended_);
    return *this;
}

Process::~Process() {
    if (!process_) return;
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool Process::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool Process::WaitForExit(DWORD milliseconds) const {
    if (!process_) return false;
    if (WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0) return false;
    if (ended_.QuadPart == 0) QueryPerformanceCounter(&ended_);
    return true;
}

DWORD Process::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) GetExitCodeProcess(process_, &code);
    return code;
}

double Process::ElapsedMilliseconds() const {
    LARGE_INTEGER now;
    if (ended_.QuadPart) return MillisecondsBetween(started_, ended_);
    QueryPerformanceCounter(&now);
    return MillisecondsBetween(started_, now);
}

} // namespace e2e
