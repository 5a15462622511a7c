// Finding the product's main program and the folder it is started in, over a
// narrow seam for the file system and the process's folders.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The main program's file name and the folder tried below the program files
// folder, each with its leading separator.
constexpr const wchar_t* kMainProgramFile = L"\\Sorvane 3D Screensaver.exe";
constexpr const wchar_t* kProgramFilesSubfolder = L"\\Sorvane 3D Screensaver";

// What the launcher asks of the system besides the registry.
class LauncherSystem {
public:
    virtual ~LauncherSystem() = default;
    // True when anything of that name exists, a folder included; false for "".
    virtual bool FileExists(const std::wstring& path) const = 0;
    // True when `path` names an existing folder.
    virtual bool FolderExists(const std::wstring& path) const = 0;
    // The program files folder of 32-bit programs, where the product is
    // installed, or nothing when the system cannot tell.
    virtual std::optional<std::wstring> ProgramFilesFolder() const = 0;
    // The process's current folder, or nothing when it cannot be had.
    virtual std::optional<std::wstring> CurrentFolder() const = 0;
};

// Every place the main program may be, in the order they are tried.
std::vector<std::wstring> MainProgramCandidates(const LauncherSystem& system);

// The first candidate that exists, or "" when none does.
std::wstring FindMainProgram(const LauncherSystem& system);

// The text up to and including the last backslash, or "" without one.
std::wstring FolderOf(const std::wstring& path);

// The folder the main program at `mainProgram` is started in: the installation
// folder the registry names, or else the program's own folder.
std::wstring ChooseWorkingFolder(const std::wstring& mainProgram, const LauncherSystem& system);

// How the main program is started: its quoted path as the whole command line.
struct LaunchPlan {
    std::wstring program;
    std::wstring commandLine;
    std::wstring workingFolder; // "" when no folder is known: the launcher's own is inherited
};

// The plan for starting the main program, or nothing when it cannot be found.
std::optional<LaunchPlan> PlanLaunch(const LauncherSystem& system);
