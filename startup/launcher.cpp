// The main program's candidate places and the choice of its working folder.
#include "startup/launcher.h"

#include "platform/registry_access.h"

namespace {

constexpr const wchar_t* kAppPathValue = L"AppPath";
constexpr const wchar_t* kInstallLocationValue = L"InstallLocation";

// The value's text, or "" when it is missing, empty or unreadable.
std::wstring ReadText(const wchar_t* key, const wchar_t* value, bool use64BitView) {
    std::wstring text;
    ReadRegistryString(HKEY_LOCAL_MACHINE, key, value, text, use64BitView);
    return text;
}

std::wstring ReadText32BitView(const wchar_t* key, const wchar_t* value) {
    std::wstring text;
    ReadRegistryString32BitView(HKEY_LOCAL_MACHINE, key, value, text);
    return text;
}

// Hands the candidates to `take` in order until it returns true. A source is
// asked only when the candidates before it were not taken: the program files
// folder, whose query loads the shell, is not needed when the registry names
// an existing program.
template <typename Take>
void ForEachCandidate(const LauncherSystem& system, Take take) {
    // Folders are joined as stored: one that ends in a backslash gives a
    // doubled one, which the system accepts.
    const std::wstring appPath = ReadText(kProductKey, kAppPathValue, true);
    if (!appPath.empty()) {
        if (take(appPath + kMainProgramFile)) return;
    } else {
        // The installer is a 32-bit program: its uninstall entries are in the
        // 32-bit view, which both builds of this program read.
        for (const wchar_t* entry : {kUninstallKey, kCombinedUninstallKey}) {
            const std::wstring location = ReadText32BitView(entry, kInstallLocationValue);
            if (!location.empty() && take(location + kMainProgramFile)) return;
        }
    }
    if (const auto programFiles = system.ProgramFilesFolder())
        if (take(*programFiles + kProgramFilesSubfolder + kMainProgramFile)) return;
    if (const auto current = system.CurrentFolder()) take(*current + kMainProgramFile);
}

} // namespace

std::vector<std::wstring> MainProgramCandidates(const LauncherSystem& system) {
    std::vector<std::wstring> candidates;
    ForEachCandidate(system, [&](const std::wstring& candidate) {
        candidates.push_back(candidate);
        return false;
    });
    return candidates;
}

std::wstring FindMainProgram(const LauncherSystem& system) {
    std::wstring found;
    ForEachCandidate(system, [&](const std::wstring& candidate) {
        if (!system.FileExists(candidate)) return false;
        found = candidate;
        return true;
    });
    return found;
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t separator = path.rfind(L'\\');
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring ChooseWorkingFolder(const std::wstring& mainProgram, const LauncherSystem& system) {
    // An installation folder that no longer exists (the product was moved or
    // reinstalled elsewhere) would make the start fail although the program
    // was found, so such a folder is passed over.
    std::wstring appPath = ReadText(kProductKey, kAppPathValue, true);
    if (!appPath.empty() && system.FolderExists(appPath)) return appPath;
    std::wstring location = ReadText(kUninstallKey, kInstallLocationValue, true);
    if (!location.empty() && system.FolderExists(location)) return location;
    return FolderOf(mainProgram);
}

std::optional<LaunchPlan> PlanLaunch(const LauncherSystem& system) {
    const std::wstring program = FindMainProgram(system);
    if (!system.FileExists(program)) return std::nullopt;
    LaunchPlan plan;
    plan.program = program;
    plan.commandLine = L"\"" + program + L"\"";
    plan.workingFolder = ChooseWorkingFolder(program, system);
    return plan;
}
