// Run mode end to end: the screensaver finds the main program's stand-in
// through each source, starts it as the main program expects and lives exactly
// as long as it does; or it shows the right message and ends.
#include "tests/e2e/driver/main_program_stand_in.h"
#include "tests/e2e/driver/message_box.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Generous: deadlines only catch a hang.
constexpr DWORD kDeadline = 15000;
// How long the screensaver must still be running once the main program has
// started and before it is let go; a launcher that does not wait ends well
// within it.
constexpr DWORD kStillRunningWindow = 1500;

constexpr const wchar_t* kProductKey = L"Software\\Quenvale\\Sorvane 3D Screensaver";
constexpr const wchar_t* kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sorvane 3D Screensaver_is1";
constexpr const wchar_t* kCombinedUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sorvane 3D Screensaver and Animated Wallpaper_is1";

std::string Show(const std::wstring& text) { return testing::PrintToString(text); }

std::wstring Environment(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

// The program files folder of 32-bit programs, where the product is installed
// and where both builds of the screensaver look: "Program Files (x86)" on
// 64-bit Windows.
std::wstring ProgramFilesFolder() {
    return e2e::Is64BitWindows() ? Environment(L"ProgramFiles(x86)") : Environment(L"ProgramFiles");
}

// "{root}" is the scenarios' own folder, "{pf}" the program files folder.
std::wstring Expand(const wchar_t* pattern) {
    if (!pattern) return std::wstring();
    std::wstring text = pattern;
    const std::pair<const wchar_t*, std::wstring> tokens[] = {{L"{root}", L"C:\\Sorvane Launcher Test"},
                                                              {L"{pf}", ProgramFilesFolder()}};
    for (const auto& [token, value] : tokens)
        for (std::size_t at = text.find(token); at != std::wstring::npos; at = text.find(token))
            text.replace(at, std::wcslen(token), value);
    return text;
}

class ProcessHandle {
public:
    explicit ProcessHandle(DWORD id)
        : handle_(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id)) {}
    ~ProcessHandle() {
        if (handle_) CloseHandle(handle_);
    }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

void ClearInstallation() {
    e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    for (const wchar_t* entry : {kUninstallKey, kCombinedUninstallKey}) {
        e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, entry);
        e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, e2e::View32(entry));
    }
}

// The registry an installation leaves; null leaves a value out. The
// installer, a 32-bit program, writes its uninstall entries into the 32-bit
// view, which the search reads; the working folder is taken from the
// screensaver's entry in the 64-bit view, where only another installer writes.
struct Installation {
    const wchar_t* appPath;
    const wchar_t* installLocation;
    const wchar_t* combinedLocation;
    const wchar_t* installLocation64 = nullptr;
};

void Register(const Installation& installation) {
    const struct {
        std::wstring key;
        const wchar_t* value;
        const wchar_t* folder;
    } values[] = {{kProductKey, L"AppPath", installation.appPath},
                  {e2e::View32(kUninstallKey), L"InstallLocation", installation.installLocation},
                  {e2e::View32(kCombinedUninstallKey), L"InstallLocation", installation.combinedLocation},
                  {kUninstallKey, L"InstallLocation", installation.installLocation64}};
    for (const auto& v : values) {
        if (!v.folder) continue;
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, v.key, v.value, Expand(v.folder))) << "could not seed " << Show(v.key);
    }
}

struct StartCase {
    const char* name;
    Installation registry;
    std::vector<const wchar_t*> standInFolders; // where copies of the stand-in are put
    std::vector<const wchar_t*> otherFolders;   // folders that exist without the program
    const wchar_t* screensaverFolder;           // the screensaver's own current folder
    const wchar_t* expectedProgram;             // as the launcher joins it
    const wchar_t* expectedWorkingFolder;
    DWORD exitCode;
};

void PrintTo(const StartCase& c, std::ostream* out) { *out << c.name; }

class LauncherStarts : public ::testing::TestWithParam<StartCase> {
protected:
    void SetUp() override { ClearInstallation(); }
    void TearDown() override { ClearInstallation(); }
};

TEST_P(LauncherStarts, TheMainProgramAndLivesExactlyAsLongAsIt) {
    const StartCase& c = GetParam();
    e2e::MainProgramStandIn standIn(c.exitCode, true);
    ASSERT_NO_FATAL_FAILURE(Register(c.registry));
    for (const wchar_t* folder : c.standInFolders)
        ASSERT_TRUE(standIn.InstallInto(Expand(folder)))
            << "could not install the stand-in into " << Show(Expand(folder));
    for (const wchar_t* folder : c.otherFolders) ASSERT_TRUE(standIn.MakeFolder(Expand(folder)));
    ASSERT_TRUE(standIn.MakeFolder(Expand(c.screensaverFolder)));

    e2e::Process saver = e2e::Process::Screensaver(L"/s", Expand(c.screensaverFolder));
    ASSERT_TRUE(saver.Started()) << "could not start " << Show(e2e::ScreensaverPath());
    const auto record = standIn.WaitForRecord(kDeadline);
    if (!record) {
        if (auto box = e2e::WaitForMessageBox(saver.Id(), 0)) {
            e2e::PressOk(*box);
            FAIL() << "the main program was not started; the screensaver said " << Show(box->text);
        }
        FAIL() << "the main program was not started";
    }

    const std::wstring program = Expand(c.expectedProgram);
    EXPECT_EQ(record->commandLine, L"\"" + program + L"\"") << "the command line must be the quoted path alone";
    EXPECT_TRUE(e2e::SameFolder(record->workingFolder, Expand(c.expectedWorkingFolder)))
        << "working folder: expected " << Show(Expand(c.expectedWorkingFolder)) << ", got "
        << Show(record->workingFolder);

    ProcessHandle mainProgram(record->processId);
    ASSERT_TRUE(mainProgram.Get()) << "the stand-in ended before it was released";
    EXPECT_FALSE(saver.WaitForExit(kStillRunningWindow)) << "the screensaver ended while the main program ran";

    standIn.Release();
    ASSERT_TRUE(saver.WaitForExit(kDeadline)) << "the screensaver still runs after the main program ended";
    EXPECT_EQ(saver.ExitCode(), 0u);
    ASSERT_EQ(WaitForSingleObject(mainProgram.Get(), 0), WAIT_OBJECT_0)
        << "the screensaver ended before the main program";
    DWORD mainExitCode = STILL_ACTIVE;
    GetExitCodeProcess(mainProgram.Get(), &mainExitCode);
    EXPECT_EQ(mainExitCode, c.exitCode) << "the stand-in did not run as the scenario set it up";
}

const StartCase kStarts[] = {
    {"ThroughAppPath",
     {L"{root}\\App Path", L"{root}\\Not Used", L"{root}\\Not Used Either"},
     {L"{root}\\App Path", L"{root}\\Not Used", L"{root}\\Not Used Either"},
     {},
     L"{root}\\Empty",
     L"{root}\\App Path\\Sorvane 3D Screensaver.exe",
     L"{root}\\App Path",
     3},
    {"ThroughAppPathWithTrailingBackslash",
     {L"{root}\\App Path Slash\\", nullptr, nullptr},
     {L"{root}\\App Path Slash"},
     {},
     L"{root}\\Empty",
     L"{root}\\App Path Slash\\\\Sorvane 3D Screensaver.exe",
     L"{root}\\App Path Slash\\",
     0},
    {"ThroughTheScreensaversUninstallEntryWithTrailingBackslash",
     {nullptr, L"{root}\\Uninstall Entry\\", L"{root}\\Combined Package", L"{root}\\Uninstall Entry\\"},
     {L"{root}\\Uninstall Entry", L"{root}\\Combined Package"},
     {},
     L"{root}\\Empty",
     L"{root}\\Uninstall Entry\\\\Sorvane 3D Screensaver.exe",
     L"{root}\\Uninstall Entry\\",
     42},
    {"ThroughTheCombinedPackagesUninstallEntry",
     {nullptr, L"{root}\\Lacks The Program", L"{root}\\Combined Package", L"{root}\\Lacks The Program"},
     {L"{root}\\Combined Package"},
     {L"{root}\\Lacks The Program"},
     L"{root}\\Empty",
     L"{root}\\Combined Package\\Sorvane 3D Screensaver.exe",
     L"{root}\\Lacks The Program",
     250},
    // Only the 32-bit view's entry names the folder: the program's own folder
    // is the working folder.
    {"ThroughTheUninstallEntryOf32BitInstallerInTheProgramsFolder",
     {nullptr, L"{root}\\Installer Only", nullptr},
     {L"{root}\\Installer Only"},
     {},
     L"{root}\\Empty",
     L"{root}\\Installer Only\\Sorvane 3D Screensaver.exe",
     L"{root}\\Installer Only\\",
     2},
    {"ThroughTheCombinedEntryAloneInTheProgramsFolder",
     {nullptr, nullptr, L"{root}\\Combined Only"},
     {L"{root}\\Combined Only"},
     {},
     L"{root}\\Empty",
     L"{root}\\Combined Only\\Sorvane 3D Screensaver.exe",
     L"{root}\\Combined Only\\",
     1},
    {"ThroughTheProgramFilesFolder",
     {nullptr, nullptr, nullptr},
     {L"{pf}\\Sorvane 3D Screensaver"},
     {},
     L"{root}\\Empty",
     L"{pf}\\Sorvane 3D Screensaver\\Sorvane 3D Screensaver.exe",
     L"{pf}\\Sorvane 3D Screensaver\\",
     7},
    {"ThroughTheCurrentFolder",
     {nullptr, nullptr, nullptr},
     {L"{root}\\Current Folder"},
     {},
     L"{root}\\Current Folder",
     L"{root}\\Current Folder\\Sorvane 3D Screensaver.exe",
     L"{root}\\Current Folder\\",
     0},
    {"ThroughTheCurrentFolderInTheInstallationFolder",
     {L"{root}\\Installed Here", nullptr, nullptr},
     {L"{root}\\Current Folder"},
     {L"{root}\\Installed Here"},
     L"{root}\\Current Folder",
     L"{root}\\Current Folder\\Sorvane 3D Screensaver.exe",
     L"{root}\\Installed Here",
     5},
    // The program was moved: the stale installation folder is not used to start it in.
    {"ThroughProgramFilesWhenAppPathNoLongerExists",
     {L"{root}\\Moved Away", nullptr, nullptr},
     {L"{pf}\\Sorvane 3D Screensaver"},
     {},
     L"{root}\\Empty",
     L"{pf}\\Sorvane 3D Screensaver\\Sorvane 3D Screensaver.exe",
     L"{pf}\\Sorvane 3D Screensaver\\",
     9},
};

INSTANTIATE_TEST_SUITE_P(Sources, LauncherStarts, ::testing::ValuesIn(kStarts),
                         [](const testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

struct MessageCase {
    const char* name;
    Installation registry;
    const wchar_t* folderNamedLikeTheProgramIn; // null: none
    const wchar_t* nonProgramIn;                // null: none
    const wchar_t* expectedText;
};

void PrintTo(const MessageCase& c, std::ostream* out) { *out << c.name; }

class LauncherReports : public ::testing::TestWithParam<MessageCase> {
protected:
    void SetUp() override { ClearInstallation(); }
    void TearDown() override { ClearInstallation(); }
};

TEST_P(LauncherReports, WhatWentWrongAndEndsWithExitCodeZero) {
    const MessageCase& c = GetParam();
    if (c.registry.installLocation64 && !e2e::Is64BitWindows()) GTEST_SKIP() << "32-bit Windows has one view only";
    e2e::MainProgramStandIn standIn(0, false);
    ASSERT_NO_FATAL_FAILURE(Register(c.registry));
    if (c.folderNamedLikeTheProgramIn) {
        ASSERT_TRUE(standIn.InstallFolderNamedLikeTheProgramInto(Expand(c.folderNamedLikeTheProgramIn)));
    }
    if (c.nonProgramIn) {
        ASSERT_TRUE(standIn.InstallNonProgramInto(Expand(c.nonProgramIn)));
    }
    ASSERT_TRUE(standIn.MakeFolder(Expand(L"{root}\\Empty")));

    e2e::Process saver = e2e::Process::Screensaver(L"/s", Expand(L"{root}\\Empty"));
    ASSERT_TRUE(saver.Started());
    const auto box = e2e::WaitForMessageBox(saver.Id(), kDeadline);
    ASSERT_TRUE(box) << "no message box appeared; the screensaver "
                     << (saver.Running() ? "still runs" : "has ended");
    EXPECT_EQ(box->caption, L"Error!");
    EXPECT_EQ(box->text, c.expectedText);
    EXPECT_TRUE(box->hasIcon) << "the message has no icon";
    EXPECT_TRUE(saver.Running()) << "the screensaver must wait for the message to be closed";

    e2e::PressOk(*box);
    ASSERT_TRUE(saver.WaitForExit(kDeadline)) << "the screensaver still runs after its message was closed";
    EXPECT_EQ(saver.ExitCode(), 0u);
    EXPECT_FALSE(standIn.HasRecord()) << "a main program was started after all";
}

const MessageCase kMessages[] = {
    {"NothingInstalled", {nullptr, nullptr, nullptr}, nullptr, nullptr,
     L"Can't find the main file! Please reinstall screensaver."},
    {"NothingAtAnyRegisteredPlace",
     {L"{root}\\Empty", L"{root}\\Empty", L"{root}\\Empty"},
     nullptr,
     nullptr,
     L"Can't find the main file! Please reinstall screensaver."},
    // The search reads the uninstall entries in the 32-bit view only.
    {"UninstallEntryIn64BitViewIsNotSearched",
     {nullptr, nullptr, nullptr, L"{root}\\Native View Only"},
     nullptr,
     L"{root}\\Native View Only", // found there, it would fail to start with the other message
     L"Can't find the main file! Please reinstall screensaver."},
    {"CandidateIsAFolder", {L"{root}\\Odd Install", nullptr, nullptr}, L"{root}\\Odd Install", nullptr,
     L"Can't start the screensaver! Please try to restart your computer."},
    {"CandidateIsNoProgram", {nullptr, nullptr, nullptr}, nullptr, L"{pf}\\Sorvane 3D Screensaver",
     L"Can't start the screensaver! Please try to restart your computer."},
};

INSTANTIATE_TEST_SUITE_P(Failures, LauncherReports, ::testing::ValuesIn(kMessages),
                         [](const testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.name); });

} // namespace
