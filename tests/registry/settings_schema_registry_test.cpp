// Loading and saving the settings, and the start-up entry, against the
// in-memory registry natively and Wine's registry in the Windows build.
#include "hardware/hardware_probe.h"
#include "settings/dialogs/settings_save.h"
#include "settings/dialogs/settings_save.h"
#include "settings/store/settings_schema.h"
#include "platform/registry_access.h"
#include "tests/registry/registry_fixture.h"

#include <string>
#include <vector>

namespace {

constexpr std::uint32_t MiB(std::uint32_t mib) { return mib << 20; }

const std::wstring kProduct = kProductKey;

// Records the error messages instead of showing them.
class RecordedMessages final : public ErrorMessageBox {
  public:
    void Show(HWND, const std::wstring& caption, const std::wstring& text) override {
        shown.push_back(caption + L" | " + text);
    }
    std::vector<std::wstring> shown;
};

class SettingsSchemaTest : public RegistryTest {
  protected:
    // A machine that qualifies for textures and graphics, not antialiasing.
    FixedHardware hardware_{MiB(512), 2500, 1017};
    ScopedHardware scope_{hardware_};

    // The value's data as text, a terminator the system stored dropped.
    std::wstring Stored(HKEY root, const std::wstring& path, const std::wstring& name) {
        auto raw = Raw(root, path, name);
        if (!raw) return L"<missing>";
        std::wstring text(raw->data.size() / sizeof(wchar_t), L'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = *reinterpret_cast<const wchar_t*>(raw->data.data() + i * sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return text + (raw->type == REG_SZ ? L"" : L" <not REG_SZ>");
    }
};

struct Setting {
    const wchar_t* name;
    std::int32_t value;
};

// The defaults on the machine of the fixture.
const Setting kDefaults[] = {
    {setting::kHighQualityTextures, 1},    {setting::kEnableMultiMonitorMode, 1},
    {setting::kShowBlackScreens, 1},       {setting::kShowFPS, 0},
    {setting::kDisableOnMouseActivate, 1}, {setting::kMusicVolumePercentage, 15},
    {setting::kDisableMusic, 0},           {setting::kSoundsVolumePercentage, 100},
    {setting::kDisableSound, 0},           {setting::kMonitorAspectRatio, 4},
    {setting::kUseDesktopRes, 1},          {setting::kUsePlaylist, 0},
    {setting::kHighQualityGraphics, 1},    {setting::kFontScaling, 50},
    {setting::kAntialiasing, 0},           {setting::kShufflePlayList, 1},
};

TEST_F(SettingsSchemaTest, FreshSystemGetsTheDefaultsAndNothingIsWritten) {
    Node tree;
    SetDefaults(tree);
    EXPECT_FALSE(ReadSettings(tree)) << "there is no product key to read";
    for (const Setting& s : kDefaults)
        EXPECT_EQ(tree.Get(s.name).AsInt(), s.value) << testing::PrintToString(std::wstring(s.name));
    EXPECT_FALSE(tree.Has(setting::kCurMonitor, Node::Kind::Int));
    EXPECT_EQ(tree.GetEntries().size(), std::size(kDefaults));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProduct)) << "loading wrote to the registry";
}

TEST_F(SettingsSchemaTest, StoredMusicVolumeKeepsEveryOtherDefaultAndTheSaveWritesAllSixteen) {
    SeedText(HKEY_LOCAL_MACHINE, kProduct, setting::kMusicVolumePercentage, L"2: 40");
    Node tree;
    SetDefaults(tree);
    ASSERT_TRUE(ReadSettings(tree));
    EXPECT_EQ(tree.Get(setting::kMusicVolumePercentage).AsInt(), 40);

    RecordedMessages messages;
    ASSERT_TRUE(WriteSettings(tree, nullptr, messages));
    EXPECT_TRUE(messages.shown.empty());
    for (const Setting& s : kDefaults) {
        const std::int32_t expected = s.name == std::wstring(setting::kMusicVolumePercentage) ? 40 : s.value;
        EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kProduct, s.name), L"2: " + std::to_wstring(expected))
            << testing::PrintToString(std::wstring(s.name));
    }
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kProduct, setting::kCurMonitor), L"<missing>");
}

TEST_F(SettingsSchemaTest, LoadTakesOnlyValuesInTheTreeFormat) {
    Seed(HKEY_LOCAL_MACHINE, kProduct, setting::kMusicVolumePercentage, REG_DWORD, {40, 0, 0, 0});
    SeedText(HKEY_LOCAL_MACHINE, kProduct, setting::kSoundsVolumePercentage, L"2:40"); // no blank after the colon
    SeedText(HKEY_LOCAL_MACHINE, kProduct, setting::kFontScaling, L"4: 7");            // no such kind
    SeedText(HKEY_LOCAL_MACHINE, kProduct, setting::kDisableMusic, L"3: 1");           // a text, not an integer
    SeedText(HKEY_LOCAL_MACHINE, kProduct, L"PlayList", L"C:\\Music\\a.mp3");
    SeedText(HKEY_LOCAL_MACHINE, kProduct, L"AppPath", L"C:\\Prog\\S");
    SeedText(HKEY_LOCAL_MACHINE, kProduct, L"Language", L"3: de");
    SeedText(HKEY_LOCAL_MACHINE, kProduct, setting::kCurMonitor, L"2: 1");

    Node tree;
    SetDefaults(tree);
    ASSERT_TRUE(ReadSettings(tree));
    EXPECT_EQ(tree.Get(setting::kMusicVolumePercentage).AsInt(), 15) << "REG_DWORD ignored";
    EXPECT_EQ(tree.Get(setting::kSoundsVolumePercentage).AsInt(), 100) << "not the tree's text form";
    EXPECT_EQ(tree.Get(setting::kFontScaling).AsInt(), 50) << "unknown kind digit";
    EXPECT_TRUE(tree.Has(setting::kDisableMusic, Node::Kind::Text)) << "a text replaces the integer";
    EXPECT_EQ(tree.Get(setting::kDisableMusic).AsInt(), 0) << "and reads as 0";
    EXPECT_FALSE(tree.Has(L"PlayList", Node::Kind::Text));
    EXPECT_FALSE(tree.Has(L"AppPath", Node::Kind::Text));
    EXPECT_EQ(tree.Get(L"Language").AsText(), L"de");
    EXPECT_EQ(tree.Get(setting::kCurMonitor).AsInt(), 1);

    // The save writes the settings back and leaves the plain values alone.
    RecordedMessages messages;
    ASSERT_TRUE(WriteSettings(tree, nullptr, messages));
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kProduct, setting::kMusicVolumePercentage), L"2: 15");
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kProduct, setting::kSoundsVolumePercentage), L"2: 100");
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kProduct, setting::kDisableMusic), L"3: 1");
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kProduct, L"Language"), L"3: de");
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kProduct, L"PlayList"), L"C:\\Music\\a.mp3");
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kProduct, L"AppPath"), L"C:\\Prog\\S");
}

// The dialog waits for the hardware facts only where a default that depends
// on them can show; where the product key replaces all three, the tree comes
// out the same whatever the facts.
const wchar_t* const kHardwareDependent[] = {setting::kHighQualityTextures, setting::kHighQualityGraphics,
                                             setting::kAntialiasing};
struct StoredCase {
    const char* what;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> values; // name, text; "" seeds a sub-key
    bool matters;
};
void PrintTo(const StoredCase& c, std::ostream* out) { *out << c.what; }
class HardwareDefaultsTest : public SettingsSchemaTest, public testing::WithParamInterface<StoredCase> {};

TEST_P(HardwareDefaultsTest, MatterUnlessTheKeyReplacesAllThree) {
    for (const auto& [name, text] : GetParam().values) {
        if (*text) SeedText(HKEY_LOCAL_MACHINE, kProduct, name, text);
        else SeedKey(HKEY_LOCAL_MACHINE, kProduct + L"\\" + name);
    }
    EXPECT_EQ(HardwareDefaultsMatter(), GetParam().matters);
    if (GetParam().matters) return;
    Node measured, unknown;
    SetDefaults(measured, HardwareFacts{MiB(3000), 3200, 1100});
    SetDefaults(unknown, HardwareFacts{});
    ASSERT_TRUE(ReadSettings(measured) && ReadSettings(unknown));
    for (const wchar_t* name : kHardwareDependent) {
        for (Node::Kind kind : {Node::Kind::Child, Node::Kind::Float, Node::Kind::Int, Node::Kind::Text})
            EXPECT_EQ(measured.Has(name, kind), unknown.Has(name, kind));
        EXPECT_EQ(measured.Get(name).AsInt(), unknown.Get(name).AsInt());
    }
}

INSTANTIATE_TEST_SUITE_P(
    StoredSettings, HardwareDefaultsTest,
    testing::Values(
        StoredCase{"NoProductKey", {}, true},
        StoredCase{"AllThreeStored",
                   {{kHardwareDependent[0], L"2: 0"}, {kHardwareDependent[1], L"2: 1"}, {kHardwareDependent[2], L"2: 4"}},
                   false},
        StoredCase{"OneMissing", {{kHardwareDependent[0], L"2: 0"}, {kHardwareDependent[1], L"2: 1"}}, true},
        StoredCase{"OtherKinds",
                   {{kHardwareDependent[0], L"3: x"}, {kHardwareDependent[1], L"1: 2.5"}, {kHardwareDependent[2], L"2: 0"}},
                   false},
        StoredCase{"OneNotInTheTreesForm",
                   {{kHardwareDependent[0], L"2: 0"}, {kHardwareDependent[1], L"2:1"}, {kHardwareDependent[2], L"2: 0"}},
                   true},
        StoredCase{"OneASubKey",
                   {{kHardwareDependent[0], L"2: 0"}, {kHardwareDependent[1], L"2: 0"}, {kHardwareDependent[2], L""}},
                   false}),
    [](const testing::TestParamInfo<StoredCase>& info) { return std::string(info.param.what); });

struct CommandCase {
    const char* what;
    const wchar_t* appPath; // null: no value
    DWORD appPathType;
    const wchar_t* installLocation; // null: no value
    const wchar_t* command;
    const wchar_t* installLocation32 = nullptr; // in the 32-bit view; null: no value
};

class StartupCommandTest : public SettingsSchemaTest, public testing::WithParamInterface<CommandCase> {};

TEST_P(StartupCommandTest, IsTheQuotedMainProgramInTheInstallFolderWithTheWallpaperSwitch) {
    const CommandCase& c = GetParam();
    if (c.appPath) SeedText(HKEY_LOCAL_MACHINE, kProduct, L"AppPath", c.appPath, c.appPathType);
    // The 32-bit view first: where there is only one view, the 64-bit value
    // then replaces it, and the expected command is the same.
    if (c.installLocation32)
        SeedText(HKEY_LOCAL_MACHINE, View32(kUninstallKey), L"InstallLocation", c.installLocation32);
    if (c.installLocation) SeedText(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", c.installLocation);
    EXPECT_EQ(StartupCommand(), c.command) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Folders, StartupCommandTest,
    testing::Values(CommandCase{"install folder without trailing backslash", L"C:\\Prog\\S", REG_SZ, nullptr,
                                L"\"C:\\Prog\\S\\Sorvane 3D Screensaver.exe\" /w"},
                    CommandCase{"trailing backslash kept: two in a row", L"C:\\Prog\\S\\", REG_SZ, nullptr,
                                L"\"C:\\Prog\\S\\\\Sorvane 3D Screensaver.exe\" /w"},
                    CommandCase{"AppPath wins over InstallLocation", L"C:\\A", REG_SZ, L"D:\\B",
                                L"\"C:\\A\\Sorvane 3D Screensaver.exe\" /w"},
                    CommandCase{"no AppPath: the installer's folder", nullptr, REG_SZ, L"D:\\Games\\Sorvane\\",
                                L"\"D:\\Games\\Sorvane\\\\Sorvane 3D Screensaver.exe\" /w"},
                    CommandCase{"empty AppPath counts as none", L"", REG_SZ, L"D:\\B",
                                L"\"D:\\B\\Sorvane 3D Screensaver.exe\" /w"},
                    CommandCase{"AppPath of another type counts as none", L"C:\\A", REG_EXPAND_SZ, L"D:\\B",
                                L"\"D:\\B\\Sorvane 3D Screensaver.exe\" /w"},
                    CommandCase{"neither value: no command", nullptr, REG_SZ, nullptr, L""},
                    CommandCase{"both empty: no command", L"", REG_SZ, L"", L""},
                    CommandCase{"the 32-bit installer's folder, in its view", nullptr, REG_SZ, nullptr,
                                L"\"E:\\Apps\\S\\\\Sorvane 3D Screensaver.exe\" /w", L"E:\\Apps\\S\\"},
                    CommandCase{"empty AppPath: the 32-bit installer's folder", L"", REG_SZ, nullptr,
                                L"\"E:\\S\\Sorvane 3D Screensaver.exe\" /w", L"E:\\S"},
                    CommandCase{"the 64-bit view's folder before the 32-bit view's", nullptr, REG_SZ, L"D:\\B",
                                L"\"D:\\B\\Sorvane 3D Screensaver.exe\" /w", L"E:\\S"},
                    CommandCase{"AppPath before either view's folder", L"C:\\A", REG_SZ, L"D:\\B",
                                L"\"C:\\A\\Sorvane 3D Screensaver.exe\" /w", L"E:\\S"}));

TEST_F(SettingsSchemaTest, StartupEntryHoldsTheCommandWhenEnabledAndAnEmptyTextWhenNot) {
    SeedText(HKEY_LOCAL_MACHINE, kProduct, L"AppPath", L"C:\\Prog\\S");
    const std::wstring command = L"\"C:\\Prog\\S\\Sorvane 3D Screensaver.exe\" /w";
    EXPECT_FALSE(IsStartupEntryCurrent()) << "no entry yet";

    EXPECT_EQ(WriteStartupEntry(true), S_OK);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kRunKey, kStartupValueName), command);
    EXPECT_TRUE(IsStartupEntryCurrent());

    EXPECT_EQ(WriteStartupEntry(false), S_OK);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kRunKey, kStartupValueName), L"") << "the value stays, empty";
    EXPECT_FALSE(IsStartupEntryCurrent());
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kRunKey, kStartupValueName), L"<missing>") << "per user, not per machine";
}

TEST_F(SettingsSchemaTest, StartupEntryMatchesOnlyTheExactCommand) {
    SeedText(HKEY_LOCAL_MACHINE, kProduct, L"AppPath", L"C:\\Prog\\S");
    const struct {
        const char* what;
        const wchar_t* entry;
        DWORD type;
        bool current;
    } cases[] = {
        {"the command", L"\"C:\\Prog\\S\\Sorvane 3D Screensaver.exe\" /w", REG_SZ, true},
        {"letter case differs", L"\"c:\\prog\\s\\Sorvane 3D Screensaver.exe\" /w", REG_SZ, false},
        {"without the switch", L"\"C:\\Prog\\S\\Sorvane 3D Screensaver.exe\"", REG_SZ, false},
        {"the command as REG_EXPAND_SZ", L"\"C:\\Prog\\S\\Sorvane 3D Screensaver.exe\" /w", REG_EXPAND_SZ, false},
        {"empty", L"", REG_SZ, false},
    };
    for (const auto& c : cases) {
        SeedText(HKEY_CURRENT_USER, kRunKey, kStartupValueName, c.entry, c.type);
        EXPECT_EQ(IsStartupEntryCurrent(), c.current) << c.what;
    }
}

TEST_F(SettingsSchemaTest, WithoutAnInstallFolderTheEntryCountsAsCurrentAndIsWrittenEmpty) {
    EXPECT_TRUE(IsStartupEntryCurrent()) << "no command and no entry: two empty texts";
    EXPECT_EQ(WriteStartupEntry(true), S_OK);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kRunKey, kStartupValueName), L"");
    EXPECT_TRUE(IsStartupEntryCurrent());
}

} // namespace
