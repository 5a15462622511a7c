// The product's main program played by a test program of ours: installed under
// the main program's name where a scenario needs it, steered through the
// environment that the screensaver passes on, and read back from its record.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct StandInRecord {
    std::wstring commandLine;   // exactly as the stand-in's GetCommandLineW returned it
    std::wstring workingFolder; // its current folder as it began
    DWORD processId = 0;
    LONGLONG started = 0;       // QueryPerformanceCounter as its code began
};

class MainProgramStandIn {
public:
    // The stand-in exits with `exitCode`; with `hold` it first waits for Release().
    MainProgramStandIn(DWORD exitCode, bool hold);
    // Releases a stand-in still waiting, removes every file and folder made
    // through this object and clears the environment.
    ~MainProgramStandIn();
    MainProgramStandIn(const MainProgramStandIn&) = delete;
    MainProgramStandIn& operator=(const MainProgramStandIn&) = delete;

    // The built stand-in beside the test programs.
    static std::wstring BuiltProgram();

    // Makes `folder` and its missing parents; they are removed at the end.
    bool MakeFolder(const std::wstring& folder);
    // Copies the stand-in (`program`, by default the built one) to
    // `folder` + "\Sorvane 3D Screensaver.exe".
    bool InstallInto(const std::wstring& folder, const std::wstring& program = BuiltProgram());
    // Puts a file of that name into `folder` which holds text, not a program.
    bool InstallNonProgramInto(const std::wstring& folder);
    // Makes a folder of that name inside `folder`.
    bool InstallFolderNamedLikeTheProgramInto(const std::wstring& folder);

    // The record, once the stand-in has written it; nothing after `milliseconds`.
    std::optional<StandInRecord> WaitForRecord(DWORD milliseconds) const;
    bool HasRecord() const;
    // Lets a holding stand-in end.
    void Release();
    // Deletes the record so that the next start writes a fresh one.
    void ForgetRecord();

private:
    std::wstring recordPath_;
    HANDLE hold_ = nullptr;
    std::vector<std::wstring> madeFolders_;
    std::vector<std::wstring> madeFiles_;
};

// The main program's file name with its leading separator.
constexpr const wchar_t* kMainProgramName = L"\\Sorvane 3D Screensaver.exe";

// Paths compared as Windows does: case-insensitively, trailing backslashes
// ignored (a root keeps its own).
bool SameFolder(const std::wstring& a, const std::wstring& b);

} // namespace e2e
