// Where the launcher looks for the main program, in which order, and which
// folder it starts it in: over the in-memory registry and a fake file system.
#include "platform/registry_memory.h"
#include "platform/registry_access.h"
#include "startup/launcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <set>

namespace {

// Where a key below HKLM\Software lies in the 32-bit view: the 32-bit
// installer's uninstall entries are there, and both builds read them there.
std::wstring View32(const wchar_t* key) { return std::wstring(L"Software\\WOW6432Node") + (key + 8); }
const std::wstring kWow64Uninstall = View32(kUninstallKey);
const std::wstring kWow64CombinedUninstall = View32(kCombinedUninstallKey);
const std::wstring kWow64ProductKey = View32(kProductKey);

// Names compare case-insensitively, as on Windows.
std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

class FakeSystem final : public LauncherSystem {
public:
    std::set<std::wstring> files;
    std::set<std::wstring> folders;
    std::optional<std::wstring> programFiles = std::wstring(L"C:\\Program Files (x86)");
    std::optional<std::wstring> current = std::wstring(L"C:\\Users\\Ann\\Desktop");

    void AddFile(const std::wstring& path) { files.insert(Lower(path)); }
    void AddFolder(const std::wstring& path) { folders.insert(Lower(path)); }

    bool FileExists(const std::wstring& path) const override {
        return !path.empty() && (files.count(Lower(path)) || FolderExists(path));
    }
    bool FolderExists(const std::wstring& path) const override {
        std::wstring name = Lower(path);
        while (name.size() > 3 && name.back() == L'\\') name.pop_back();
        return !name.empty() && folders.count(name) > 0;
    }
    std::optional<std::wstring> ProgramFilesFolder() const override {
        ++programFilesAsked;
        return programFiles;
    }
    mutable int programFilesAsked = 0;
    std::optional<std::wstring> CurrentFolder() const override { return current; }
};

std::string Narrow(const std::wstring& text) { return testing::PrintToString(text); }

std::string Narrow(const std::vector<std::wstring>& list) {
    std::string out;
    for (const auto& item : list) out += "\n    " + Narrow(item);
    return out.empty() ? " (none)" : out;
}

class LauncherTest : public ::testing::Test {
protected:
    platform::MemoryRegistry registry;
    platform::ScopedRegistry scope{registry};
    FakeSystem system;

    void SetAppPath(const std::wstring& folder) {
        registry.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"AppPath", folder);
    }
    // The installer's entry, in the 32-bit view where the installer writes it.
    void SetInstallLocation(const wchar_t* key, const std::wstring& folder) {
        registry.PutText(HKEY_LOCAL_MACHINE, View32(key), L"InstallLocation", folder);
    }
};

// The candidate list for the registry and folders a row describes.
struct CandidateCase {
    const char* what;
    const wchar_t* appPath;           // null: no value
    const wchar_t* installLocation;   // the screensaver's uninstall entry
    const wchar_t* combinedLocation;  // the combined package's uninstall entry
    bool programFilesKnown;
    bool currentKnown;
    std::vector<std::wstring> expected;
};

TEST_F(LauncherTest, CandidatesFollowTheRegistryThenProgramFilesThenTheCurrentFolder) {
    const std::wstring pf = L"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\Sorvane 3D Screensaver.exe";
    const std::wstring cur = L"C:\\Users\\Ann\\Desktop\\Sorvane 3D Screensaver.exe";
    const CandidateCase cases[] = {
        {"AppPath alone stands for the registry", L"D:\\Apps\\Sorvane", L"E:\\Un", L"F:\\Comb", true, true,
         {L"D:\\Apps\\Sorvane\\Sorvane 3D Screensaver.exe", pf, cur}},
        {"without AppPath both uninstall entries, the screensaver's first", nullptr, L"E:\\Un", L"F:\\Comb", true,
         true, {L"E:\\Un\\Sorvane 3D Screensaver.exe", L"F:\\Comb\\Sorvane 3D Screensaver.exe", pf, cur}},
        {"an empty AppPath counts as none", L"", L"E:\\Un", nullptr, true, true,
         {L"E:\\Un\\Sorvane 3D Screensaver.exe", pf, cur}},
        {"only the combined package's entry", nullptr, nullptr, L"F:\\Comb", true, true,
         {L"F:\\Comb\\Sorvane 3D Screensaver.exe", pf, cur}},
        {"trailing backslashes are joined as stored", nullptr, L"E:\\Un\\", L"F:\\Comb\\", true, true,
         {L"E:\\Un\\\\Sorvane 3D Screensaver.exe", L"F:\\Comb\\\\Sorvane 3D Screensaver.exe", pf, cur}},
        {"AppPath with a trailing backslash", L"D:\\A b\\", nullptr, nullptr, true, true,
         {L"D:\\A b\\\\Sorvane 3D Screensaver.exe", pf, cur}},
        {"nothing in the registry", nullptr, nullptr, nullptr, true, true, {pf, cur}},
        {"no program files folder", nullptr, nullptr, nullptr, false, true, {cur}},
        {"no current folder", nullptr, nullptr, nullptr, true, false, {pf}},
        {"no source at all", nullptr, nullptr, nullptr, false, false, {}},
    };
    for (const auto& c : cases) {
        platform::MemoryRegistry fresh;
        platform::ScopedRegistry use(fresh);
        if (c.appPath) fresh.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"AppPath", c.appPath);
        if (c.installLocation) fresh.PutText(HKEY_LOCAL_MACHINE, kWow64Uninstall, L"InstallLocation", c.installLocation);
        if (c.combinedLocation)
            fresh.PutText(HKEY_LOCAL_MACHINE, kWow64CombinedUninstall, L"InstallLocation", c.combinedLocation);
        FakeSystem fake;
        if (!c.programFilesKnown) fake.programFiles.reset();
        if (!c.currentKnown) fake.current.reset();

        const auto candidates = MainProgramCandidates(fake);
        EXPECT_EQ(candidates, c.expected) << c.what << "\n  expected:" << Narrow(c.expected)
                                          << "\n  got:" << Narrow(candidates);
        EXPECT_EQ(fresh.OpenHandles(), 0u) << c.what << ": a registry key was left open";
    }
}

TEST_F(LauncherTest, TheFirstExistingCandidateWins) {
    struct Case {
        const char* what;
        std::vector<std::wstring> existing;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"the screensaver's entry before the combined one",
         {L"E:\\Un\\Sorvane 3D Screensaver.exe", L"F:\\Comb\\Sorvane 3D Screensaver.exe"},
         L"E:\\Un\\Sorvane 3D Screensaver.exe"},
        {"the combined entry when the screensaver's lacks the program", {L"F:\\Comb\\Sorvane 3D Screensaver.exe"},
         L"F:\\Comb\\Sorvane 3D Screensaver.exe"},
        {"the registry before the program files folder",
         {L"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\Sorvane 3D Screensaver.exe",
          L"F:\\Comb\\Sorvane 3D Screensaver.exe"},
         L"F:\\Comb\\Sorvane 3D Screensaver.exe"},
        {"the program files folder before the current folder",
         {L"C:\\Users\\Ann\\Desktop\\Sorvane 3D Screensaver.exe",
          L"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\Sorvane 3D Screensaver.exe"},
         L"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\Sorvane 3D Screensaver.exe"},
        {"the current folder last", {L"C:\\Users\\Ann\\Desktop\\Sorvane 3D Screensaver.exe"},
         L"C:\\Users\\Ann\\Desktop\\Sorvane 3D Screensaver.exe"},
        {"nothing exists", {}, L""},
        {"a file elsewhere is not a candidate", {L"C:\\Elsewhere\\Sorvane 3D Screensaver.exe"}, L""},
    };
    SetInstallLocation(kUninstallKey, L"E:\\Un");
    SetInstallLocation(kCombinedUninstallKey, L"F:\\Comb");
    for (const auto& c : cases) {
        FakeSystem fake;
        for (const auto& file : c.existing) fake.AddFile(file);
        EXPECT_EQ(FindMainProgram(fake), c.expected) << c.what;
    }
}

TEST_F(LauncherTest, AppPathWithoutTheProgramSkipsTheUninstallEntriesButNotTheFolders) {
    SetAppPath(L"D:\\Moved");
    SetInstallLocation(kUninstallKey, L"E:\\Un");
    system.AddFile(L"E:\\Un\\Sorvane 3D Screensaver.exe");
    EXPECT_EQ(FindMainProgram(system), L"") << "the uninstall entry must not be consulted while AppPath is set";

    system.AddFile(L"C:\\Users\\Ann\\Desktop\\Sorvane 3D Screensaver.exe");
    EXPECT_EQ(FindMainProgram(system), L"C:\\Users\\Ann\\Desktop\\Sorvane 3D Screensaver.exe");
    system.AddFile(L"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\Sorvane 3D Screensaver.exe");
    EXPECT_EQ(FindMainProgram(system), L"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\Sorvane 3D Screensaver.exe");
}

// Asking for the program files folder loads the shell; it is not asked for
// while a registry candidate exists.
TEST_F(LauncherTest, TheProgramFilesFolderIsAskedForOnlyWhenTheRegistryFindsNothing) {
    SetAppPath(L"D:\\Apps");
    system.AddFile(L"D:\\Apps\\Sorvane 3D Screensaver.exe");
    EXPECT_EQ(FindMainProgram(system), L"D:\\Apps\\Sorvane 3D Screensaver.exe");
    EXPECT_EQ(system.programFilesAsked, 0);
    SetAppPath(L"D:\\Moved");
    EXPECT_EQ(FindMainProgram(system), L"");
    EXPECT_EQ(system.programFilesAsked, 1);
}

TEST_F(LauncherTest, AFolderNamedLikeTheProgramCountsAsFound) {
    SetAppPath(L"D:\\Odd");
    system.AddFolder(L"D:\\Odd\\Sorvane 3D Screensaver.exe");
    system.AddFile(L"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\Sorvane 3D Screensaver.exe");
    EXPECT_EQ(FindMainProgram(system), L"D:\\Odd\\Sorvane 3D Screensaver.exe");
}

TEST_F(LauncherTest, UnreadableRegistrySourcesArePassedOver) {
    struct Case {
        const char* what;
        void (*spoil)(platform::MemoryRegistry&);
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"AppPath stored as REG_EXPAND_SZ",
         [](platform::MemoryRegistry& r) {
             r.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"AppPath", L"D:\\Apps", REG_EXPAND_SZ);
         },
         L"E:\\Un\\Sorvane 3D Screensaver.exe"},
        {"product key refuses access",
         [](platform::MemoryRegistry& r) {
             r.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"AppPath", L"D:\\Apps");
             r.DenyOpen(HKEY_LOCAL_MACHINE, kProductKey);
         },
         L"E:\\Un\\Sorvane 3D Screensaver.exe"},
        {"the screensaver's uninstall entry refuses access",
         [](platform::MemoryRegistry& r) { r.DenyOpen(HKEY_LOCAL_MACHINE, kWow64Uninstall); },
         L"F:\\Comb\\Sorvane 3D Screensaver.exe"},
    };
    for (const auto& c : cases) {
        platform::MemoryRegistry fresh;
        platform::ScopedRegistry use(fresh);
        fresh.PutText(HKEY_LOCAL_MACHINE, kWow64Uninstall, L"InstallLocation", L"E:\\Un");
        fresh.PutText(HKEY_LOCAL_MACHINE, kWow64CombinedUninstall, L"InstallLocation", L"F:\\Comb");
        c.spoil(fresh);
        FakeSystem fake;
        fake.AddFile(L"D:\\Apps\\Sorvane 3D Screensaver.exe");
        fake.AddFile(L"E:\\Un\\Sorvane 3D Screensaver.exe");
        fake.AddFile(L"F:\\Comb\\Sorvane 3D Screensaver.exe");
        EXPECT_EQ(FindMainProgram(fake), c.expected) << c.what;
        EXPECT_EQ(fresh.OpenHandles(), 0u) << c.what;
    }
}

// AppPath from the 64-bit view, the uninstall entries for the search from the
// 32-bit view: for the 32-bit program under WOW64 and for the 64-bit one alike.
TEST_F(LauncherTest, TheSearchReadsAppPath64BitAndUninstallEntries32BitInBothBuilds) {
    for (bool wow64 : {true, false}) {
        platform::MemoryRegistry fresh;
        platform::ScopedRegistry use(fresh);
        fresh.SetWow64Process(wow64);
        fresh.PutText(HKEY_LOCAL_MACHINE, kWow64ProductKey, L"AppPath", L"X:\\Wow64Copy");
        fresh.PutText(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", L"N:\\Native");
        fresh.PutText(HKEY_LOCAL_MACHINE, kWow64Uninstall, L"InstallLocation", L"W:\\Un32");
        fresh.PutText(HKEY_LOCAL_MACHINE, kWow64CombinedUninstall, L"InstallLocation", L"W:\\Comb32");
        FakeSystem none;
        none.programFiles.reset();
        none.current.reset();
        const std::vector<std::wstring> expected = {L"W:\\Un32\\Sorvane 3D Screensaver.exe",
                                                    L"W:\\Comb32\\Sorvane 3D Screensaver.exe"};
        EXPECT_EQ(MainProgramCandidates(none), expected)
            << (wow64 ? "32-bit" : "64-bit") << " program: AppPath in the 32-bit view and InstallLocation in the "
            << "64-bit view must both be ignored";
        fresh.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"AppPath", L"Y:\\Native");
        EXPECT_EQ(MainProgramCandidates(none), std::vector<std::wstring>{L"Y:\\Native\\Sorvane 3D Screensaver.exe"});
    }
}

TEST(FolderOf, KeepsEverythingUpToAndIncludingTheLastBackslash) {
    struct Case {
        const wchar_t* path;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Sorvane\\Sorvane 3D Screensaver.exe", L"C:\\Program Files\\Sorvane\\"},
        {L"E:\\Un\\\\Sorvane 3D Screensaver.exe", L"E:\\Un\\\\"},
        {L"C:\\Sorvane 3D Screensaver.exe", L"C:\\"},
        {L"\\\\server\\share\\x.exe", L"\\\\server\\share\\"},
        {L"C:\\folder\\", L"C:\\folder\\"},
        {L"no separator.exe", L""},
        {L"C:/forward/slashes.exe", L""},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(FolderOf(c.path), c.expected) << Narrow(c.path);
}

// Which folder the found program starts in, for the registry a row describes.
struct WorkingFolderCase {
    const char* what;
    const wchar_t* appPath;          // product key, native view; null: no value
    const wchar_t* installLocation;  // screensaver's uninstall entry, native view
    std::vector<std::wstring> existingFolders;
    const wchar_t* program;
    const wchar_t* expected;
};

TEST_F(LauncherTest, WorkingFolderIsTheInstallationFolderOrElseTheProgramsOwn) {
    const WorkingFolderCase cases[] = {
        {"AppPath first", L"D:\\Apps", L"E:\\Un\\", {L"D:\\Apps", L"E:\\Un"},
         L"C:\\Users\\Ann\\Desktop\\Sorvane 3D Screensaver.exe", L"D:\\Apps"},
        {"InstallLocation without AppPath, as stored", nullptr, L"E:\\Un\\", {L"E:\\Un"},
         L"C:\\Users\\Ann\\Desktop\\Sorvane 3D Screensaver.exe", L"E:\\Un\\"},
        {"an empty AppPath counts as none", L"", L"E:\\Un", {L"E:\\Un"}, L"C:\\Cur\\Sorvane 3D Screensaver.exe",
         L"E:\\Un"},
        {"found in the current folder without registry: that folder with its backslash", nullptr, nullptr, {},
         L"C:\\Users\\Ann\\Desktop\\Sorvane 3D Screensaver.exe", L"C:\\Users\\Ann\\Desktop\\"},
        {"found through a doubled backslash", nullptr, nullptr, {}, L"E:\\Un\\\\Sorvane 3D Screensaver.exe",
         L"E:\\Un\\\\"},
        {"AppPath that no longer exists gives way to InstallLocation", L"D:\\Gone", L"E:\\Un", {L"E:\\Un"},
         L"C:\\Program Files\\Sorvane 3D Screensaver\\Sorvane 3D Screensaver.exe", L"E:\\Un"},
        {"AppPath that no longer exists gives way to the program's folder", L"D:\\Gone", nullptr, {},
         L"C:\\Program Files\\Sorvane 3D Screensaver\\Sorvane 3D Screensaver.exe",
         L"C:\\Program Files\\Sorvane 3D Screensaver\\"},
        {"neither installation folder exists", L"D:\\Gone", L"E:\\Gone", {},
         L"C:\\Cur\\Sorvane 3D Screensaver.exe", L"C:\\Cur\\"},
    };
    for (const auto& c : cases) {
        platform::MemoryRegistry fresh;
        platform::ScopedRegistry use(fresh);
        if (c.appPath) fresh.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"AppPath", c.appPath);
        if (c.installLocation) fresh.PutText(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", c.installLocation);
        FakeSystem fake;
        for (const auto& folder : c.existingFolders) fake.AddFolder(folder);
        EXPECT_EQ(ChooseWorkingFolder(c.program, fake), c.expected) << c.what;
        EXPECT_EQ(fresh.OpenHandles(), 0u) << c.what;
    }
}

// The working folder reads the screensaver's uninstall entry in the native
// view, unlike the search.
TEST_F(LauncherTest, UnderWow64TheWorkingFolderReadsTheNativeViews) {
    registry.SetWow64Process(true);
    registry.PutText(HKEY_LOCAL_MACHINE, kWow64ProductKey, L"AppPath", L"X:\\Wow64Copy");
    registry.PutText(HKEY_LOCAL_MACHINE, kWow64Uninstall, L"InstallLocation", L"W:\\Un32");
    system.AddFolder(L"X:\\Wow64Copy");
    system.AddFolder(L"W:\\Un32");
    system.AddFolder(L"N:\\Native");
    EXPECT_EQ(ChooseWorkingFolder(L"W:\\Un32\\\\Sorvane 3D Screensaver.exe", system), L"W:\\Un32\\\\")
        << "only native-view values may be used";

    registry.PutText(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", L"N:\\Native");
    EXPECT_EQ(ChooseWorkingFolder(L"W:\\Un32\\\\Sorvane 3D Screensaver.exe", system), L"N:\\Native");
}

TEST_F(LauncherTest, PlanStartsTheQuotedPathAloneInTheChosenFolder) {
    SetInstallLocation(kUninstallKey, L"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\");
    registry.PutText(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation",
                     L"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\");
    system.AddFile(L"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\\\Sorvane 3D Screensaver.exe");
    system.AddFolder(L"C:\\Program Files (x86)\\Sorvane 3D Screensaver");
    const auto plan = PlanLaunch(system);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->program, L"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\\\Sorvane 3D Screensaver.exe");
    EXPECT_EQ(plan->commandLine,
              L"\"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\\\Sorvane 3D Screensaver.exe\"");
    EXPECT_EQ(plan->workingFolder, L"C:\\Program Files (x86)\\Sorvane 3D Screensaver\\");
}

TEST_F(LauncherTest, NoPlanWhenNothingIsInstalled) {
    SetAppPath(L"D:\\Apps");
    SetInstallLocation(kUninstallKey, L"E:\\Un");
    system.AddFolder(L"D:\\Apps");
    EXPECT_FALSE(PlanLaunch(system)) << "no candidate exists, so nothing may be started";
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

} // namespace
