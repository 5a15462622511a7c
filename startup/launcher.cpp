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

} // namespace

std::vector<std::wstring> MainProgramCandidates(const LauncherSystem& system) {
    std::vector<std::wstring> candidates;
    // Folders are joined as stored: one that ends in a backslash gives a
    // doubled one, which the system accepts.
    const std::wstring appPath = ReadText(kProductKey, kAppPathValue, true);
    if (!appPath.empty()) {
        candidates.push_back(appPath + kMainProgramFile);
    } else {
        // The installer is a 32-bit program: its uninstall entries are in the
        // 32-bit view, which both builds of this program read.
        for (const wchar_t* entry : {kUninstallKey, kCombinedUninstallKey}) {
            const std::wstring location = ReadText32BitView(entry, kInstallLocationValue);
            if (!location.empty()) candidates.push_back(location + kMainProgramFile);
        }
    }
    if (const auto programFiles = system.ProgramFilesFolder())
        candidates.push_back(*programFiles + kProgramFilesSubfolder + kMainProgramFile);
    if (const auto current = system.CurrentFolder()) candidates.push_back(*current + kMainProgramFile);
    return candidates;
}

std::wstring FindMainProgram(const LauncherSystem& system) {
    for (const std::wstring& candidate : MainProgramCandidates(system))
        if (system.FileExists(candidate)) return candidate;
    return std::wstring();
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
