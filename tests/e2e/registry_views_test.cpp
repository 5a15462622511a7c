// Which registry view the real program uses on 64-bit Windows, whatever its own
// bitness: the product and maker values in the 64-bit view only; values planted
// in the 32-bit view (WOW6432Node) are neither seen nor ever written.
#include "tests/e2e/driver/hit_capture.h"
#include "tests/e2e/driver/main_program_stand_in.h"
#include "tests/e2e/settings_dialog_fixture.h"

namespace settings_e2e {
namespace {

class RegistryViews : public SettingsDialogTest {
protected:
    void SetUp() override {
        SettingsDialogTest::SetUp();
        if (!e2e::Is64BitWindows()) GTEST_SKIP() << "a 32-bit Windows has one registry view";
    }
    static std::map<std::wstring, e2e::RegistryValue> Values32(const wchar_t* key) {
        return e2e::ReadValues(HKEY_LOCAL_MACHINE, e2e::View32(key));
    }
    static void Seed32(const wchar_t* key, const wchar_t* name, const wchar_t* text) {
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, e2e::View32(key), name, text));
    }
};

TEST_F(RegistryViews, ProductValuesIn32BitViewAreNotSeenAndNothingIsWrittenThere) {
    Seed32(kProductKey, L"MusicVolumePercentage", L"2: 40");
    Seed32(kProductKey, L"DisableMusic", L"2: 1");
    Seed32(kProductKey, L"Language", L"3: de");
    Seed32(kProductKey, L"AppPath", L"C:\\Thirty Two");
    const auto before = Values32(kProductKey);
    Open();
    EXPECT_EQ(e2e::WindowText(dialog_), L"Sorvane 3D Screensaver 1.0 Configuration") << "the language was read";
    EXPECT_EQ(e2e::TrackbarPosition(Item(MusicVolume)), 15);
    EXPECT_TRUE(Checked(EnableMusic));
    // Neither an install folder nor a start-up entry in the 64-bit view: the
    // command and the entry are both empty, so the box shows checked.
    EXPECT_TRUE(Checked(RunAtStartup)) << "AppPath was read from the 32-bit view";
    PressAndWaitForExit(Ok);

    EXPECT_EQ(Stored(L"MusicVolumePercentage"), L"2: 15");
    EXPECT_EQ(Stored(L"DisableMusic"), L"2: 0");
    EXPECT_EQ(Stored(L"Language"), L"(missing)");
    EXPECT_TRUE(Values32(kProductKey) == before) << "the program wrote under WOW6432Node";
}

TEST_F(RegistryViews, AnalyticsIdentityIsReadAndWrittenIn64BitView) {
    const std::wstring planted = L"11111111-2222-3333-4444-555555555555";
    Seed32(kMakerKey, L"ClientGuid", planted.c_str());
    Seed32(kMakerKey, L"SessionCount", L"41");
    ASSERT_TRUE(e2e::DeleteValue(HKEY_LOCAL_MACHINE, kMakerKey, L"DisableAnalytics"));
    // Its hits go nowhere: the harness's recorder refuses them.
    ASSERT_TRUE(e2e::ExpectRefusedRequests("CONNECT www.google-analytics.com:443"));
    SeedSetting(L"MusicVolumePercentage", L"2: 40"); // a session starts only over a readable product key
    const auto before = Values32(kMakerKey);
    Open();
    PressAndWaitForExit(Cancel);

    const auto guid = e2e::ReadValue(HKEY_LOCAL_MACHINE, kMakerKey, L"ClientGuid");
    ASSERT_TRUE(guid) << "no ClientGuid was created in the 64-bit view";
    std::wstring text = guid->Chars();
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    EXPECT_EQ(text.size(), 36u);
    EXPECT_NE(text, planted);
    const auto count = e2e::ReadValue(HKEY_LOCAL_MACHINE, kMakerKey, L"SessionCount");
    ASSERT_TRUE(count);
    EXPECT_EQ(count->data, e2e::Utf16Bytes(L"1", true)) << "the count was carried over from the 32-bit view";
    EXPECT_TRUE(Values32(kMakerKey) == before) << "the program wrote under WOW6432Node";
}

TEST_F(RegistryViews, RunModeIgnoresAppPathIn32BitView) {
    const std::wstring folder = L"C:\\Sorvane Views Test";
    e2e::MainProgramStandIn standIn(0, false);
    // Found there, it would fail to start with the other message.
    ASSERT_TRUE(standIn.InstallNonProgramInto(folder));
    Seed32(kProductKey, L"AppPath", folder.c_str());
    ASSERT_TRUE(standIn.MakeFolder(folder + L"\\Empty"));
    e2e::Process saver = e2e::Process::Screensaver(L"/s", folder + L"\\Empty");
    ASSERT_TRUE(saver.Started());
    const auto box = e2e::WaitForMessageBox(saver.Id(), kDeadline);
    ASSERT_TRUE(box) << "no message box appeared";
    EXPECT_EQ(box->text, L"Can't find the main file! Please reinstall screensaver.");
    e2e::PressOk(*box);
    EXPECT_TRUE(saver.WaitForExit(kDeadline));
}

} // namespace
} // namespace settings_e2e
