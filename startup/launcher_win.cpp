// Run mode: start the main program and wait until it ends.
#include "startup/launcher_win.h"

#include "localization/language_table.h"
#include "platform/com_objects_win.h"
#include "platform/delayed_imports_win.h"
#include "startup/run_modes_win.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace {

// The current folder is asked for into a buffer of this many characters; a
// longer one is skipped as a candidate.
constexpr DWORD kCurrentFolderCapacity = 2048;

// Run mode loads no window library unless it has a message to show; where
// none can be had, the message goes where OutputDebugString already named it.
void ShowError(const wchar_t* text) {
    if (!platform::ResolveDelayedImports({L"user32.dll"})) return;
    MessageBoxW(nullptr, Translate(text).c_str(), Translate(L"Error!").c_str(), MB_ICONERROR);
}

} // namespace

bool FileExists(const std::wstring& path) {
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WindowsLauncherSystem::FileExists(const std::wstring& path) const { return ::FileExists(path); }

bool WindowsLauncherSystem::FolderExists(const std::wstring& path) const {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::wstring> WindowsLauncherSystem::ProgramFilesFolder() const {
    wchar_t folder[MAX_PATH] = {};
    // The 32-bit program asks for its own program files folder, which on
    // 64-bit Windows is the x86 one; the 64-bit program names that folder.
    constexpr int kFolder = sizeof(void*) == 8 ? CSIDL_PROGRAM_FILESX86 : CSIDL_PROGRAM_FILES;
    if (!platform::ResolveDelayedImports({L"shell32.dll"})) return std::nullopt;
    if (!SHGetSpecialFolderPathW(nullptr, folder, kFolder, FALSE)) return std::nullopt;
    return std::wstring(folder);
}

std::optional<std::wstring> WindowsLauncherSystem::CurrentFolder() const {
    std::vector<wchar_t> folder(kCurrentFolderCapacity);
    const DWORD length = GetCurrentDirectoryW(kCurrentFolderCapacity, folder.data());
    if (length == 0 || length >= kCurrentFolderCapacity) return std::nullopt;
    return std::wstring(folder.data(), length);
}

std::wstring FindMainProgram() { return FindMainProgram(WindowsLauncherSystem()); }

void LaunchMainProgram() {
    const auto plan = PlanLaunch(WindowsLauncherSystem());
    if (!plan) {
        ShowError(L"Can't find the main file! Please reinstall screensaver.");
        return;
    }

    // CreateProcessW may write into the command line it is given.
    std::vector<wchar_t> commandLine(plan->commandLine.begin(), plan->commandLine.end());
    commandLine.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        plan->workingFolder.empty() ? nullptr : plan->workingFolder.c_str(), &startup, &started)) {
        ShowError(L"Can't start the screensaver! Please try to restart your computer.");
        return;
    }
    // Declared in this order so that the thread handle is closed first.
    const platform::ScopedHandle process(started.hProcess);
    const platform::ScopedHandle thread(started.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
}
