// A save of the settings that the registry refuses: the error is shown once,
// translated, owned by the dialog, and what was written before stays.
#include "hardware/hardware_probe.h"
#include "localization/language_table.h"
#include "platform/registry_memory.h"
#include "settings/dialogs/settings_save.h"
#include "settings/store/settings_schema.h"
#include "platform/registry_access.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::wstring kProduct = kProductKey;
const std::wstring kMessage =
    L"Error writing to the system registry. Please NOTE: You need to have sufficient administrative rights to run "
    L"this program successfully.";

struct Shown {
    HWND owner;
    std::wstring caption, text;
};

class RecordedMessages final : public ErrorMessageBox {
  public:
    void Show(HWND owner, const std::wstring& caption, const std::wstring& text) override {
        shown.push_back({owner, caption, text});
    }
    std::vector<Shown> shown;
};

class SettingsSaveFailureTest : public ::testing::Test {
  protected:
    void TearDown() override { LanguageTable::DestroyCurrent(); }

    std::wstring Stored(const std::wstring& path, const std::wstring& name) const {
        auto chars = registry.GetChars(HKEY_LOCAL_MACHINE, path, name);
        if (!chars) return L"<missing>";
        while (!chars->empty() && chars->back() == L'\0')
            chars->pop_back(); // the system's terminator
        return *chars;
    }

    platform::MemoryRegistry registry;
    platform::ScopedRegistry scope{registry};
    FixedHardware hardware{0, 0, 0};
    ScopedHardware hardwareScope{hardware};
    HWND const owner = reinterpret_cast<HWND>(static_cast<std::intptr_t>(0x2003));
};

TEST_F(SettingsSaveFailureTest, RefusedSubkeyShowsTheMessageOnceAndKeepsWhatWasWrittenBefore) {
    // The main program keeps a subkey of its own; the tree writes it in name
    // order between MusicVolumePercentage and ShowBlackScreens.
    registry.PutText(HKEY_LOCAL_MACHINE, kProduct + L"\\Profiles", L"Last", L"2: 1");
    Node tree;
    SetDefaults(tree);
    ASSERT_TRUE(ReadSettings(tree));
    tree.Get(setting::kMusicVolumePercentage) = std::int32_t{70};
    tree.Get(setting::kUsePlaylist) = std::int32_t{1};
    registry.DenyWrites(HKEY_LOCAL_MACHINE, kProduct + L"\\Profiles");

    RecordedMessages messages;
    EXPECT_FALSE(WriteSettings(tree, owner, messages));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].owner, owner);
    EXPECT_EQ(messages.shown[0].caption, L"Error!");
    EXPECT_EQ(messages.shown[0].text, kMessage);

    EXPECT_EQ(Stored(kProduct, setting::kAntialiasing), L"2: 0");
    EXPECT_EQ(Stored(kProduct, setting::kMusicVolumePercentage), L"2: 70") << "written before the refused subkey";
    EXPECT_EQ(Stored(kProduct, setting::kShowBlackScreens), L"<missing>") << "after the refused subkey";
    EXPECT_EQ(Stored(kProduct, setting::kUsePlaylist), L"<missing>");
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

TEST_F(SettingsSaveFailureTest, RefusedProductKeyWritesNothingAndShowsTheMessageOnce) {
    registry.DenyWrites(HKEY_LOCAL_MACHINE, kProduct);
    Node tree;
    SetDefaults(tree);
    ReadSettings(tree);
    RecordedMessages messages;
    EXPECT_FALSE(WriteSettings(tree, owner, messages));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(registry.ValueCount(HKEY_LOCAL_MACHINE, kProduct), 0u);
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

TEST_F(SettingsSaveFailureTest, CaptionAndTextAreTranslated) {
    const std::string xml =
        "<Root><Languages><Language Tag=\"en\"/><Language Tag=\"de\"/></Languages>"
        "<TextBlock Tag=\"Screensaver Settings Dialog\">"
        "<Var Tag=\"Error!\"><String Lang=\"de\" Text=\"Fehler!\"/></Var>"
        "<Var Tag=\"Error writing to the system registry. Please NOTE: You need to have sufficient administrative "
        "rights to run this program successfully.\"><String Lang=\"de\" Text=\"Schreibfehler.\"/></Var>"
        "</TextBlock></Root>\n";
    LanguageTable::CreateFromResourceBytes(xml.data(), xml.size());
    ASSERT_TRUE(SetLanguage(L"de"));
    ASSERT_TRUE(SetTextBlock(L"Screensaver Settings Dialog"));

    registry.DenyWrites(HKEY_LOCAL_MACHINE, kProduct);
    Node tree;
    SetDefaults(tree);
    RecordedMessages messages;
    EXPECT_FALSE(WriteSettings(tree, owner, messages));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, L"Fehler!");
    EXPECT_EQ(messages.shown[0].text, L"Schreibfehler.");
}

} // namespace
