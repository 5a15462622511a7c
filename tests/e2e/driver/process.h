// Starting programs under test and waiting for them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// The screensaver under test (SORVANE_SCR), the folder for screenshots and
// other artifacts (SORVANE_ARTIFACTS) and the folder of the test programs
// (SORVANE_TEST_BIN), as the harness sets them.
std::wstring ScreensaverPath();
std::wstring ArtifactsFolder();
std::wstring TestBinFolder();
// True when the harness was asked for two monitors (SORVANE_SCREENS=2).
bool TwoScreensRequested();

// The file names of the modules a process has loaded, in lower case; empty
// when it cannot be asked.
std::vector<std::wstring> LoadedModules(DWORD processId);

class Process {
public:
    // Starts `program` with the command line `"program" arguments`. Returns a
    // Process that is not Started() when the start failed.
    static Process Start(const std::wstring& program, const std::wstring& arguments,
                         const std::wstring& workingFolder = L"");
    // The screensaver with its switches, e.g. L"/c:1234".
    static Process Screensaver(const std::wstring& switches, const std::wstring& workingFolder = L"");

    Process() = default;
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    ~Process(); // ends a process that still runs, so a failed test leaves nothing behind

    bool Started() const { return process_ != nullptr; }
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_; }
    bool Running() const;
    // Waits for the end; true when it ended within `milliseconds`.
    bool WaitForExit(DWORD milliseconds) const;
    // The exit code, or STILL_ACTIVE while it runs.
    DWORD ExitCode() const;
    // Milliseconds from the start to now (or to the end, once ended and waited for).
    double ElapsedMilliseconds() const;
    // The file names of the modules it has loaded, in lower case.
    std::vector<std::wstring> LoadedModules() const { return e2e::LoadedModules(id_); }
    // Where each of its threads is, from Wine's debugger (empty elsewhere):
    // what a test prints when the process did not do what it waited for.
    std::string ThreadBacktraces() const;

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    LARGE_INTEGER started_{};
    mutable LARGE_INTEGER ended_{};
};

} // namespace e2e
