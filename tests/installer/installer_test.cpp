// The installer under Wine, one flow per Wine prefix: a silent install checked
// against the list of files and registry values it makes, the installed
// screensaver started from the system folder, an upgrade, an install while the
// wallpaper runs or its file is held, the other package replaced, and the
// install and use that the uninstall flow (uninstall_flow.sh) undoes.
#include "tests/e2e/driver/main_program_state.h"
#include "tests/e2e/driver/pixels.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"

#include "main_program/app/program_names.h"
#include "resources/product_version.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kProductKey[] = L"Software\\Quenvale\\Sorvane 3D Screensaver";
constexpr wchar_t kMakerKey[] = L"Software\\Quenvale";
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sorvane 3D Screensaver_is1";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"QuenvaleAnimatedWallpaper";
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kSessionManagerKey[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kMainName[] = L"\\Sorvane 3D Screensaver.exe";
constexpr wchar_t kScrName[] = L"\\Sorvane 3D Screensaver.scr";
constexpr DWORD kRebootNeeded = 3010;
// Generous: an install under a loaded machine; the dialog may wait 15 s for a
// probe; software rendering on a busy machine.
constexpr DWORD kSetupDeadline = 120000;
constexpr DWORD kDeadline = 60000;

enum SettingsControl { Ok = 1, Cancel = 2, RunAtStartup = 1079 };

std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

// Where this build's package puts things on this Windows.
struct Layout {
    std::wstring programFiles; // the package's program files folder
    std::wstring scrFolder;    // the system folder of the package's bitness
    std::wstring otherScr;     // where the other package puts its screensaver; empty on 32-bit Windows
    std::wstring otherFolder;  // the other package's usual installation folder

    std::wstring DefaultFolder() const { return programFiles + L"\\Sorvane 3D Screensaver"; }
    std::wstring Scr() const { return scrFolder + kScrName; }
};

Layout ThisLayout() {
    const bool package64 = sizeof(void*) == 8;
    const std::wstring windows = Environment(L"SystemRoot");
    Layout layout;
    // The test program's bitness is its build's package's: so is its view of the folders.
    layout.programFiles = Environment(L"ProgramFiles");
    if (!e2e::Is64BitWindows()) {
        layout.scrFolder = windows + L"\\System32";
        return layout;
    }
    layout.scrFolder = windows + (package64 ? L"\\System32" : L"\\SysWOW64");
    layout.otherScr = windows + (package64 ? L"\\SysWOW64" : L"\\System32") + kScrName;
    layout.otherFolder =
        Environment(package64 ? L"ProgramFiles(x86)" : L"ProgramW6432") + L"\\Sorvane 3D Screensaver";
    return layout;
}

// While it lives, a 32-bit test program on 64-bit Windows sees the real
// System32 (where the 64-bit package puts its screensaver), as a 64-bit one does.
class NativeSystemFolder {
  public:
    NativeSystemFolder() : redirected_(sizeof(void*) == 4 && Wow64DisableWow64FsRedirection(&previous_)) {}
    ~NativeSystemFolder() {
        if (redirected_) Wow64RevertWow64FsRedirection(previous_);
    }
    NativeSystemFolder(const NativeSystemFolder&) = delete;
    NativeSystemFolder& operator=(const NativeSystemFolder&) = delete;

  private:
    void* previous_ = nullptr;
    bool redirected_;
};

std::wstring Package() { return e2e::TestBinFolder() + L"\\sorvane_setup.exe"; }
std::wstring PackagedMainProgram() { return e2e::TestBinFolder() + L"\\packaged_main_program.exe"; }

DWORD RunSetup(const std::wstring& arguments) {
    e2e::Process setup = e2e::Process::Start(Package(), arguments);
    if (!setup.Started()) return ~0u;
    if (!setup.WaitForExit(kSetupDeadline)) return STILL_ACTIVE;
    return setup.ExitCode();
}

// A value as the tables write it: its text (REG_SZ, without terminator),
// "dword:N", "(missing)" or "(type N)".
std::wstring Shown(const std::optional<e2e::RegistryValue>& value) {
    if (!value) return L"(missing)";
    if (value->type == REG_DWORD && value->data.size() == 4)
        return L"dword:" + std::to_wstring(*reinterpret_cast<const DWORD*>(value->data.data()));
    if (value->type != REG_SZ) return L"(type " + std::to_wstring(value->type) + L")";
    std::wstring text = value->Chars();
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

struct ExpectedValue {
    HKEY root;
    std::wstring key; // in the 64-bit view; View32 for the 32-bit one
    std::wstring name;
    std::wstring shown; // as Shown() gives it
};

void ExpectValues(const std::vector<ExpectedValue>& rows) {
    for (const ExpectedValue& row : rows)
        EXPECT_EQ(Shown(e2e::ReadValue(row.root, row.key, row.name)), row.shown)
            << (row.root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") << testing::PrintToString(row.key) << " "
            << testing::PrintToString(row.name);
}

std::vector<char> FileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring ShortForm(const std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : path;
}

std::wstring StartupCommand(const std::wstring& folder) { return L"\"" + folder + kMainName + L"\" /w"; }

// A shortcut's target and arguments, as "target|arguments".
std::wstring ShortcutTarget(const std::wstring& path) {
    std::wstring result = L"(unreadable)";
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return result;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t target[MAX_PATH] = L"";
        wchar_t arguments[MAX_PATH] = L"";
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
            SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
            SUCCEEDED(link->GetArguments(arguments, MAX_PATH)))
            result = std::wstring(target) + L"|" + arguments;
        file->Release();
    }
    link->Release();
    return result;
}

std::wstring CommonPrograms() {
    wchar_t folder[MAX_PATH];
    return SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, folder)) ? folder : L"";
}

// The source and target pairs waiting for the next restart.
std::vector<std::wstring> PendingRenames() {
    const auto value = e2e::ReadValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, L"PendingFileRenameOperations");
    std::vector<std::wstring> names;
    if (!value) return names;
    const std::wstring chars = value->Chars();
    for (size_t at = 0; at < chars.size();) {
        const size_t end = chars.find(L'\0', at);
        names.push_back(chars.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at));
        if (end == std::wstring::npos) break;
        at = end + 1;
    }
    // The list's own end: an empty string.
    while (!names.empty() && names.back().empty()) names.pop_back();
    return names;
}

bool WallpaperRuns() {
    HANDLE instance = OpenMutexW(SYNCHRONIZE, FALSE, main_program::kWallpaperInstanceName);
    if (instance) CloseHandle(instance);
    return instance || FindWindowW(main_program::kWallpaperControlClass, nullptr);
}

// Waits until the wallpaper `process` can be found by its control window;
// says why not otherwise.
testing::AssertionResult WallpaperShows(HANDLE process) {
    const bool shows = e2e::WaitUntil(
        [process] {
            return FindWindowW(main_program::kWallpaperControlClass, nullptr) != nullptr ||
                   WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        },
        kDeadline);
    if (FindWindowW(main_program::kWallpaperControlClass, nullptr)) return testing::AssertionSuccess();
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    if (!shows) return testing::AssertionFailure() << "the wallpaper still runs without a control window";
    return testing::AssertionFailure() << "the wallpaper ended with exit code " << code << " before it showed";
}

// The main program as the wallpaper, started from its installed folder.
e2e::Process StartWallpaper(const std::wstring& folder) {
    return e2e::Process::Start(folder + kMainName, L"/w", folder);
}

// The main program renders small and slowly in tests (its test tuning, read
// from the environment that every program started here inherits).
void TuneMainProgram() {
    SetEnvironmentVariableW(L"SORVANE_TEST_MAX_RENDER", L"128");
    SetEnvironmentVariableW(L"SORVANE_TEST_FPS", L"8");
}

// How many clearly different colours a picture holds, in a coarse grid.
std::size_t Colours(const e2e::Image& image) {
    const e2e::Image cells = e2e::AverageCells(image, 8, 8);
    std::set<std::uint32_t> colours;
    for (std::uint32_t pixel : cells.pixels) colours.insert(pixel & 0xF0F0F0);
    return colours.size();
}

std::wstring ProcessFile(DWORD id) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process) return L"(no process " + std::to_wstring(id) + L")";
    wchar_t path[MAX_PATH];
    DWORD length = MAX_PATH;
    const bool named = QueryFullProcessImageNameW(process, 0, path, &length);
    CloseHandle(process);
    return named ? std::wstring(path, length) : L"(unnamed)";
}

class Installer : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitialize(nullptr);
        TuneMainProgram();
    }
    void TearDown() override { CoUninitialize(); }

    // Everything that every install writes, for an installation in `folder`.
    std::vector<ExpectedValue> InstalledValues(const std::wstring& folder) const {
        const std::wstring uninstall = e2e::View32(kUninstallKey);
        const std::wstring uninstaller = L"\"" + folder + L"\\Uninstall.exe\"";
        return {
            {HKEY_LOCAL_MACHINE, kProductKey, L"AppPath", folder},
            {HKEY_LOCAL_MACHINE, uninstall, L"InstallLocation", folder + L"\\"},
            {HKEY_LOCAL_MACHINE, uninstall, L"DisplayName", L"Sorvane 3D Screensaver"},
            {HKEY_LOCAL_MACHINE, uninstall, L"DisplayVersion", L"" SORVANE_VERSION_TEXT},
            {HKEY_LOCAL_MACHINE, uninstall, L"Publisher", L"Quenvale"},
            {HKEY_LOCAL_MACHINE, uninstall, L"DisplayIcon", folder + kMainName},
            {HKEY_LOCAL_MACHINE, uninstall, L"UninstallString", uninstaller},
            {HKEY_LOCAL_MACHINE, uninstall, L"QuietUninstallString", uninstaller + L" /S"},
            {HKEY_LOCAL_MACHINE, uninstall, L"NoModify", L"dword:1"},
            {HKEY_LOCAL_MACHINE, uninstall, L"NoRepair", L"dword:1"},
        };
    }

    // The files of an installation in `folder`, the uninstall entry's views
    // and size, and the shortcuts.
    void ExpectInstalledFiles(const std::wstring& folder) const {
        const std::vector<char> main = FileBytes(folder + kMainName);
        EXPECT_FALSE(main.empty()) << "no main program in " << testing::PrintToString(folder);
        EXPECT_TRUE(main == FileBytes(PackagedMainProgram())) << "the installed main program is not the packaged one";
        EXPECT_TRUE(FileBytes(layout_.Scr()) == FileBytes(e2e::ScreensaverPath()))
            << "the screensaver in " << testing::PrintToString(layout_.scrFolder) << " is not the built one";
        EXPECT_TRUE(Exists(folder + L"\\Uninstall.exe"));
        for (const std::wstring& leftover : {folder + kMainName + L".new", layout_.Scr() + L".new"})
            EXPECT_FALSE(Exists(leftover)) << testing::PrintToString(leftover);
        if (!layout_.otherScr.empty()) {
            NativeSystemFolder native;
            EXPECT_FALSE(Exists(layout_.otherScr)) << "the other package's screensaver is there";
            EXPECT_FALSE(e2e::KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey))
                << "an uninstall entry in the 64-bit view: Programs and Features would list the product twice";
        }
        const auto size = e2e::ReadValue(HKEY_LOCAL_MACHINE, e2e::View32(kUninstallKey), L"EstimatedSize");
        ASSERT_TRUE(size && size->type == REG_DWORD && size->data.size() == 4) << "EstimatedSize";
        EXPECT_GE(*reinterpret_cast<const DWORD*>(size->data.data()), (main.size() + FileBytes(layout_.Scr()).size()) / 1024);

        const std::wstring shortcuts = CommonPrograms() + L"\\Sorvane 3D Screensaver";
        const struct {
            const wchar_t* name;
            std::wstring target;
        } links[] = {
            {L"Sorvane 3D Screensaver Settings", layout_.Scr() + L"|/c"},
            {L"Start animated wallpaper", folder + kMainName + L"|/w"},
            {L"Stop animated wallpaper", folder + kMainName + L"|/stop"},
        };
        for (const auto& link : links) {
            const std::wstring target = ShortcutTarget(shortcuts + L"\\" + link.name + L".lnk");
            EXPECT_EQ(0, lstrcmpiW(target.c_str(), link.target.c_str()))
                << testing::PrintToString(std::wstring(link.name)) << " points at " << testing::PrintToString(target)
                << ", not " << testing::PrintToString(link.target);
        }
    }

    Layout layout_ = ThisLayout();
};

TEST_F(Installer, SilentInstallWritesTheListAndLeavesEveryUsersChoiceAlone) {
    // What a user chose before: another screensaver, switched off, and the
    // wallpaper's start-up turned off in the settings.
    const std::wstring otherSaver = layout_.scrFolder + L"\\ssText3d.scr";
    ASSERT_TRUE(e2e::SeedText(HKEY_CURRENT_USER, kDesktopKey, L"SCRNSAVE.EXE", otherSaver));
    ASSERT_TRUE(e2e::SeedText(HKEY_CURRENT_USER, kDesktopKey, L"ScreenSaveActive", L"0"));
    ASSERT_TRUE(e2e::SeedText(HKEY_CURRENT_USER, kRunKey, kRunValue, L""));

    ASSERT_EQ(RunSetup(L"/S"), 0u);

    const std::wstring folder = layout_.DefaultFolder();
    std::vector<ExpectedValue> rows = InstalledValues(folder);
    rows.insert(rows.end(), {
                                {HKEY_LOCAL_MACHINE, kProductKey, L"Language", L"(missing)"},
                                {HKEY_LOCAL_MACHINE, kMakerKey, L"DisableAnalytics", L"(missing)"},
                                {HKEY_LOCAL_MACHINE, e2e::View32(kMakerKey), L"DisableAnalytics", L"(missing)"},
                                {HKEY_CURRENT_USER, kDesktopKey, L"SCRNSAVE.EXE", otherSaver},
                                {HKEY_CURRENT_USER, kDesktopKey, L"ScreenSaveActive", L"0"},
                                {HKEY_CURRENT_USER, kRunKey, kRunValue, L""},
                            });
    ExpectValues(rows);
    ExpectInstalledFiles(folder);
    EXPECT_TRUE(PendingRenames().empty());

    // The installed screensaver, started from the system folder, starts the
    // installed main program, which shows its scene.
    for (const wchar_t* name : {L"HighQualityGraphics", L"HighQualityTextures", L"Antialiasing"})
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, name, L"2: 0")); // nothing to measure
    e2e::MainProgramState state;
    ASSERT_TRUE(state.Valid());
    e2e::Process saver = e2e::Process::Start(layout_.Scr(), L"/s");
    ASSERT_TRUE(saver.Started());
    const auto shown = state.WaitFor(
        [](const main_program::TestState& s) { return s.processId != 0 && s.sceneShown && s.framesTotal >= 3; },
        kDeadline);
    ASSERT_TRUE(shown) << "the installed main program showed no scene";
    EXPECT_EQ(0, lstrcmpiW(ProcessFile(shown->processId).c_str(), (folder + kMainName).c_str()))
        << testing::PrintToString(ProcessFile(shown->processId));
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const auto shot = e2e::CaptureScreen(screen);
    ASSERT_TRUE(shot);
    e2e::SaveBitmap(*shot, e2e::ArtifactsFolder() + L"\\installed_screensaver.bmp");
    EXPECT_GE(Colours(*shot), 4u) << "the screen shows one colour, not the scene";
    HWND control = FindWindowW(main_program::kScreensaverControlClass, nullptr);
    ASSERT_NE(control, nullptr);
    PostMessageW(control, WM_CLOSE, 0, 0);
    EXPECT_TRUE(saver.WaitForExit(kDeadline)) << "the screensaver did not end with its main program";
}

// Run with the user's language German.
TEST_F(Installer, SilentInstallWithEveryOptionInGerman) {
    const std::wstring folder = L"C:\\Sorvane Test\\Folder";
    ASSERT_EQ(RunSetup(L"/S /SCREENSAVER /WALLPAPER /NOANALYTICS /D=" + folder), 0u);

    std::vector<ExpectedValue> rows = InstalledValues(folder);
    rows.insert(rows.end(), {
                                {HKEY_LOCAL_MACHINE, kProductKey, L"Language", L"3: de"},
                                {HKEY_LOCAL_MACHINE, kMakerKey, L"DisableAnalytics", L"1"},
                                // As the Screen Saver Settings write it: the short form.
                                {HKEY_CURRENT_USER, kDesktopKey, L"SCRNSAVE.EXE", ShortForm(layout_.Scr())},
                                {HKEY_CURRENT_USER, kDesktopKey, L"ScreenSaveActive", L"1"},
                                {HKEY_CURRENT_USER, kRunKey, kRunValue, StartupCommand(folder)},
                            });
    ExpectValues(rows);
    ExpectInstalledFiles(folder);
    EXPECT_FALSE(WallpaperRuns()) << "the installer started the wallpaper";

    // The settings, from the system folder, speak the installer's language
    // and show the wallpaper's start-up on.
    e2e::Process saver = e2e::Process::Start(layout_.Scr(), L"/c");
    HWND dialog = e2e::WaitForWindow(saver.Id(), L"#32770", nullptr, kDeadline);
    ASSERT_NE(dialog, nullptr) << "no settings dialog";
    EXPECT_EQ(e2e::WindowText(dialog), L"Sorvane 3D Screensaver 1.0 Konfiguration");
    EXPECT_EQ(e2e::WindowText(e2e::Control(dialog, Cancel)), L"Abbrechen");
    EXPECT_EQ(e2e::WindowText(e2e::Control(dialog, RunAtStartup)), L"Wallpaper beim Windows-Start ausf\x00fchren");
    EXPECT_TRUE(e2e::IsChecked(e2e::Control(dialog, RunAtStartup)))
        << "the start-up entry is not the screensaver's start-up command";
    e2e::Click(e2e::Control(dialog, Ok));
    ASSERT_TRUE(saver.WaitForExit(kDeadline));
    ExpectValues({
        {HKEY_LOCAL_MACHINE, kProductKey, L"MusicVolumePercentage", L"2: 15"},
        {HKEY_LOCAL_MACHINE, kProductKey, L"DisableOnMouseActivate", L"2: 1"},
        {HKEY_LOCAL_MACHINE, kProductKey, L"Language", L"3: de"},
        {HKEY_CURRENT_USER, kRunKey, kRunValue, StartupCommand(folder)},
    });
}

struct TextSearch {
    const std::wstring* text;
    HWND found;
};

BOOL CALLBACK MatchText(HWND child, LPARAM data) {
    auto* search = reinterpret_cast<TextSearch*>(data);
    if (e2e::WindowText(child) != *search->text) return TRUE;
    search->found = child;
    return FALSE;
}

// A descendant of `window` whose text is `text`, or null.
HWND ChildWithText(HWND window, const std::wstring& text) {
    TextSearch search{&text, nullptr};
    EnumChildWindows(window, MatchText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForChild(HWND window, const std::wstring& text) {
    HWND found = nullptr;
    e2e::WaitUntil([&] { return (found = ChildWithText(window, text)) != nullptr; }, kDeadline);
    return found;
}

// A click that the installer's window has handled when this returns.
void Press(HWND button) {
    e2e::Click(button);
    e2e::WaitForHandler(GetAncestor(button, GA_ROOT));
}

// Run with the user's language German: the pages as a user goes through them.
TEST_F(Installer, InteractiveInstallOffersTheUsersLanguageAndTakesTheOptionsPage) {
    e2e::Process setup = e2e::Process::Start(Package(), L"");
    ASSERT_TRUE(setup.Started());
    HWND language = e2e::WaitForWindow(setup.Id(), L"#32770", L"Sorvane 3D Screensaver", kDeadline);
    ASSERT_NE(language, nullptr) << "no language page";
    HWND list = FindWindowExW(language, nullptr, L"ComboBox", nullptr);
    ASSERT_NE(list, nullptr);
    const std::vector<std::wstring> languages = e2e::ComboItems(list);
    ASSERT_EQ(languages.size(), 4u) << testing::PrintToString(languages);
    EXPECT_EQ(languages[static_cast<size_t>(e2e::ComboSelection(list))], L"Deutsch");
    Press(e2e::Control(language, IDOK));

    HWND wizard = e2e::WaitForWindow(setup.Id(), L"#32770", L"Installation von Sorvane 3D Screensaver", kDeadline);
    ASSERT_NE(wizard, nullptr) << "no wizard in German";
    Press(e2e::Control(wizard, IDOK)); // the welcome page
    ASSERT_NE(WaitForChild(wizard, L"Zielverzeichnis"), nullptr) << "no folder page";
    Press(e2e::Control(wizard, IDOK));
    HWND screensaver = WaitForChild(wizard, L"Sorvane 3D Screensaver als Bildschirmschoner verwenden");
    HWND wallpaper = ChildWithText(wizard, L"Animiertes Hintergrundbild bei der Anmeldung starten");
    HWND analytics = ChildWithText(wizard, L"Anonyme Nutzungsstatistiken senden");
    ASSERT_TRUE(screensaver && wallpaper && analytics) << "no options page in German";
    EXPECT_TRUE(e2e::IsChecked(screensaver));
    EXPECT_FALSE(e2e::IsChecked(wallpaper));
    EXPECT_TRUE(e2e::IsChecked(analytics));
    Press(wallpaper);
    Press(analytics);
    Press(e2e::Control(wizard, IDOK)); // "Installieren"
    HWND finish = WaitForChild(wizard, L"&Fertigstellen");
    ASSERT_NE(finish, nullptr) << "the installation did not finish";
    Press(finish);
    ASSERT_TRUE(setup.WaitForExit(kDeadline));
    EXPECT_EQ(setup.ExitCode(), 0u);
    EXPECT_FALSE(WallpaperRuns()) << "the installer started the wallpaper";

    const std::wstring folder = layout_.DefaultFolder();
    ExpectValues({
        {HKEY_LOCAL_MACHINE, kProductKey, L"AppPath", folder},
        {HKEY_LOCAL_MACHINE, kProductKey, L"Language", L"3: de"},
        {HKEY_LOCAL_MACHINE, kMakerKey, L"DisableAnalytics", L"1"},
        {HKEY_CURRENT_USER, kDesktopKey, L"SCRNSAVE.EXE", ShortForm(layout_.Scr())},
        {HKEY_CURRENT_USER, kRunKey, kRunValue, StartupCommand(folder)},
    });
}

// Run with the user's language German: the upgrade would write "3: de" where
// there is no language yet.
TEST_F(Installer, UpgradeKeepsSettingsPlaylistLanguageAndAnalyticsChoice) {
    ASSERT_EQ(RunSetup(L"/S /WALLPAPER /NOANALYTICS"), 0u);
    const std::wstring first = layout_.DefaultFolder();
    ASSERT_EQ(Shown(e2e::ReadValue(HKEY_LOCAL_MACHINE, kProductKey, L"Language")), L"3: de");
    // What the user changed since: a setting, the playlist, the language.
    const std::wstring playlist = L"C:\\Music\\one.mp3\r\nC:\\Music\\two.ogg\r\n";
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"MusicVolumePercentage", L"2: 40"));
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"PlayList", playlist));
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"Language", L"3: fr"));

    const std::wstring second = L"C:\\Upgraded";
    ASSERT_EQ(RunSetup(L"/S /D=" + second), 0u);

    std::vector<ExpectedValue> rows = InstalledValues(second);
    rows.insert(rows.end(), {
                                {HKEY_LOCAL_MACHINE, kProductKey, L"MusicVolumePercentage", L"2: 40"},
                                {HKEY_LOCAL_MACHINE, kProductKey, L"PlayList", playlist},
                                {HKEY_LOCAL_MACHINE, kProductKey, L"Language", L"3: fr"},
                                {HKEY_LOCAL_MACHINE, kMakerKey, L"DisableAnalytics", L"1"},
                                {HKEY_CURRENT_USER, kRunKey, kRunValue, StartupCommand(second)},
                            });
    ExpectValues(rows);
    ExpectInstalledFiles(second);
    EXPECT_FALSE(Exists(first)) << "the old folder stayed";
}

TEST_F(Installer, InstallWhileTheWallpaperRunsReplacesItAndAFileHeldElsewhereWaitsForARestart) {
    ASSERT_EQ(RunSetup(L"/S"), 0u);
    const std::wstring folder = layout_.DefaultFolder();
    e2e::Process wallpaper = StartWallpaper(folder);
    ASSERT_TRUE(wallpaper.Started());
    ASSERT_TRUE(WallpaperShows(wallpaper.Handle()));

    ASSERT_EQ(RunSetup(L"/S"), 0u);
    EXPECT_TRUE(wallpaper.WaitForExit(kDeadline)) << "the running wallpaper was not closed";
    EXPECT_TRUE(PendingRenames().empty());
    ExpectInstalledFiles(folder);

    // Another session's instance: neither its window nor its instance name
    // can be seen from here, and its file cannot be replaced now.
    const std::wstring main = folder + kMainName;
    HANDLE held = CreateFileW(main.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunSetup(L"/S"), kRebootNeeded);
    CloseHandle(held);
    const std::vector<std::wstring> pending = PendingRenames();
    ASSERT_EQ(pending.size(), 2u) << testing::PrintToString(pending);
    EXPECT_EQ(0, lstrcmpiW(pending[0].c_str(), (L"\\??\\" + main + L".new").c_str())) << testing::PrintToString(pending[0]);
    EXPECT_EQ(0, lstrcmpiW(pending[1].c_str(), (L"!\\??\\" + main).c_str())) << testing::PrintToString(pending[1]);
    EXPECT_TRUE(FileBytes(main + L".new") == FileBytes(PackagedMainProgram()));
}

// The other package's installation as it lies after its install, and the
// choices a user made of it.
TEST_F(Installer, InstallReplacesTheOtherPackage) {
    if (layout_.otherScr.empty()) GTEST_SKIP() << "a 32-bit Windows takes only the 32-bit package";
    const std::wstring other = layout_.otherFolder;
    ASSERT_TRUE(CreateDirectoryW(other.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(PackagedMainProgram().c_str(), (other + kMainName).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(PackagedMainProgram().c_str(), (other + L"\\Uninstall.exe").c_str(), FALSE));
    {
        NativeSystemFolder native;
        ASSERT_TRUE(CopyFileW(e2e::ScreensaverPath().c_str(), layout_.otherScr.c_str(), FALSE));
        ASSERT_TRUE(e2e::SeedText(HKEY_CURRENT_USER, kDesktopKey, L"SCRNSAVE.EXE", ShortForm(layout_.otherScr)));
    }
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, e2e::View32(kUninstallKey), L"InstallLocation", other + L"\\"));
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"AppPath", other));
    ASSERT_TRUE(e2e::SeedText(HKEY_CURRENT_USER, kRunKey, kRunValue, StartupCommand(other)));

    ASSERT_EQ(RunSetup(L"/S"), 0u);

    const std::wstring folder = layout_.DefaultFolder();
    std::vector<ExpectedValue> rows = InstalledValues(folder);
    rows.insert(rows.end(), {
                                {HKEY_CURRENT_USER, kDesktopKey, L"SCRNSAVE.EXE", ShortForm(layout_.Scr())},
                                {HKEY_CURRENT_USER, kRunKey, kRunValue, StartupCommand(folder)},
                            });
    ExpectValues(rows);
    ExpectInstalledFiles(folder);
    EXPECT_FALSE(Exists(other)) << "the other package's folder stayed";
}

// The install and use that uninstall_flow.sh then undoes, with the wallpaper
// left running for the uninstaller to close.
TEST(UninstallFlow, InstallAndUse) {
    const Layout layout = ThisLayout();
    TuneMainProgram();
    ASSERT_EQ(RunSetup(L"/S /SCREENSAVER /WALLPAPER /NOANALYTICS"), 0u);
    // What the screensaver writes as it is used.
    for (const auto& [name, text] : {std::pair<const wchar_t*, const wchar_t*>{L"MusicVolumePercentage", L"2: 40"},
                                     {L"CurMonitor", L"2: 0"},
                                     {L"PlayList", L"C:\\Music\\one.mp3\r\n"}})
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, name, text));
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kMakerKey, L"ClientGuid", L"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"));
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kMakerKey, L"SessionCount", L"3"));
    ASSERT_TRUE(e2e::SeedText(HKEY_CURRENT_USER, kProductKey, L"NextPlayListEntry", L"C:\\Music\\one.mp3"));
    // Left running, so not through a Process, which ends what it started.
    const std::wstring folder = layout.DefaultFolder();
    std::wstring commandLine = L"\"" + folder + kMainName + L"\" /w";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                               &started));
    CloseHandle(started.hThread);
    EXPECT_TRUE(WallpaperShows(started.hProcess));
    CloseHandle(started.hProcess);
}

} // namespace
