// The settings dialog in each language: caption and control texts, the
// labels' formats, the web site that "Visit..." opens, and a screenshot; and
// every text of both dialogs fitting its control at the system's DPI.
#include "tests/e2e/driver/text_fit.h"
#include "tests/e2e/settings_dialog_fixture.h"

#include "resources/resource_ids.h"

#include <cstdio>
#include <cwchar>
#include <optional>

namespace settings_e2e {
namespace {

struct LanguageCase {
    const wchar_t* stored; // the "Language" value; null for none
    const char* name;
    const wchar_t* caption;
    const wchar_t* cancel;
    const wchar_t* visit;
    const wchar_t* musicLabel;
    const wchar_t* playlistCaption;
};

const LanguageCase kLanguages[] = {
    {nullptr, "en", L"Sorvane 3D Screensaver 1.0 Configuration", L"Cancel", L"Visit...", L"Music volume: 15%",
     L"Playlist"},
    {L"3: de", "de", L"Sorvane 3D Screensaver 1.0 Konfiguration", L"Abbrechen", L"Besuchen...",
     L"Musik-Lautst\x00e4rke: 15%", L"Playliste"},
    {L"3: fr", "fr", L"Configuration de Sorvane 3D Screensaver 1.0", L"Annuler", L"Visitez...",
     L"Volume de la musique: 15%", L"Liste"},
    {L"3: ru", "ru", L"\x041d\x0430\x0441\x0442\x0440\x043e\x0439\x043a\x0438 Sorvane 3D Screensaver 1.0",
     L"\x041e\x0442\x043c\x0435\x043d\x0430", L"\x041f\x043e\x0441\x043c\x043e\x0442\x0440\x0435\x0442\x044c...",
     L"\x0423\x0440\x043e\x0432\x0435\x043d\x044c \x043c\x0443\x0437\x044b\x043a\x0438: 15%",
     L"\x041f\x043b\x0435\x0439\x043b\x0438\x0441\x0442"},
};

class Languages : public SettingsDialogTest {
  protected:
    void SetUp() override {
        SettingsDialogTest::SetUp();
        // Addresses opened with the https scheme go to our recorder.
        const std::wstring recorder = e2e::TestBinFolder() + L"\\url_recorder.exe";
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\https\\shell\\open\\command", L"",
                                  L"\"" + recorder + L"\" \"%1\""));
        DeleteFileW(OpenedUrlFile().c_str());
    }
    static std::wstring OpenedUrlFile() { return e2e::ArtifactsFolder() + L"\\opened_url.txt"; }
    static std::wstring OpenedUrl() {
        std::wstring text;
        if (FILE* in = _wfopen(OpenedUrlFile().c_str(), L"rb")) {
            wchar_t buffer[1024];
            const size_t read = fread(buffer, sizeof(wchar_t), 1024, in);
            text.assign(buffer, read);
            fclose(in);
        }
        return text;
    }
};

TEST_F(Languages, DialogIsTranslatedAndVisitOpensTheSiteOfItsLanguage) {
    std::vector<std::wstring> sites;
    for (const auto& c : kLanguages) {
        SCOPED_TRACE(c.name);
        if (c.stored) SeedSetting(L"Language", c.stored);
        Open();
        EXPECT_EQ(e2e::WindowText(dialog_), c.caption);
        EXPECT_EQ(Text(Cancel), c.cancel);
        EXPECT_EQ(Text(Visit), c.visit);
        EXPECT_EQ(Text(MusicLabel), c.musicLabel);
        // The table keys the sound label "Sounds volume: ...", so it stays English.
        EXPECT_EQ(Text(SoundLabel), L"Sound volume: 100%");
        EXPECT_TRUE(e2e::SaveScreenshot(dialog_, e2e::ArtifactsFolder() + L"\\settings_" +
                                                     std::wstring(c.name, c.name + 2) + L".bmp"));

        e2e::Click(Item(Visit));
        ASSERT_TRUE(e2e::WaitUntil([] { return !OpenedUrl().empty(); }, kDeadline)) << "no address was opened";
        const std::wstring url = OpenedUrl();
        const std::wstring query = L"?source=sorvane&url=settings_more";
        EXPECT_EQ(url.rfind(L"https://", 0), 0u) << testing::PrintToString(url);
        ASSERT_GT(url.size(), query.size());
        EXPECT_EQ(url.substr(url.size() - query.size()), query) << testing::PrintToString(url);
        EXPECT_EQ(url.find(L'/', 8), std::wstring::npos) << "a root address: " << testing::PrintToString(url);
        sites.push_back(url);
        DeleteFileW(OpenedUrlFile().c_str());
        PressAndWaitForExit(Cancel);
    }
    for (size_t i = 0; i < sites.size(); ++i)
        for (size_t j = i + 1; j < sites.size(); ++j)
            EXPECT_NE(sites[i], sites[j]);
}

// The dialog templates of the program under test, read from its file.
std::optional<e2e::DialogTemplate> ProgramDialog(WORD id) {
    HMODULE program = LoadLibraryExW(e2e::ScreensaverPath().c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!program) return std::nullopt;
    auto dialog = e2e::ReadDialogTemplate(program, id);
    FreeLibrary(program);
    return dialog;
}

// The DPI the harness gave the system (SORVANE_DPI), 96 when it gave none.
UINT SystemDpi() {
    wchar_t text[16] = {};
    return GetEnvironmentVariableW(L"SORVANE_DPI", text, 16) ? static_cast<UINT>(_wtoi(text)) : 96;
}

// `dialog`, laid out from `layout`, shows at the system's DPI with the font
// the driver measures with, and each of its texts fits; a screenshot `name`.
// The English texts fit the template's rectangles, which stay as they are.
void ExpectTextsFit(HWND dialog, const e2e::DialogTemplate& layout, const std::wstring& name, bool english) {
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    EXPECT_TRUE(e2e::SaveScreenshot(dialog, e2e::ArtifactsFolder() + L"\\" + name + L".bmp"));
    const e2e::DialogFont font(layout, e2e::WindowDpi(dialog));
    ASSERT_NE(font.Get(), nullptr);
    EXPECT_EQ(font.Dpi(), SystemDpi()) << "the dialog does not show at the system's DPI";
    RECT client;
    GetClientRect(dialog, &client);
    const SIZE laidOut = font.DialogUnitsToPixels(layout.cx, layout.cy);
    ASSERT_TRUE(client.right == laidOut.cx && client.bottom == laidOut.cy)
        << "the dialog measures " << client.right << " x " << client.bottom << " px, its template with the font "
        << "measured with gives " << laidOut.cx << " x " << laidOut.cy;
    for (const auto& cut : e2e::CutTexts(dialog, font))
        ADD_FAILURE() << cut;
    if (english)
        for (const auto& moved : e2e::MovedControls(dialog, layout, font))
            ADD_FAILURE() << moved;
}

TEST_F(Languages, EveryTextOfBothDialogsFitsItsControl) {
    // A Windows program sees real pixels only when it says it knows them.
    SetProcessDPIAware();
    const auto settingsLayout = ProgramDialog(IDD_SETTINGS);
    const auto playlistLayout = ProgramDialog(IDD_PLAYLIST);
    ASSERT_TRUE(settingsLayout && playlistLayout) << "the program's dialog templates could not be read";
    // The longest volume labels, and "Edit Playlist..." enabled.
    SeedSetting(L"MusicVolumePercentage", L"2: 100");
    SeedSetting(L"SoundsVolumePercentage", L"2: 100");
    SeedSetting(L"DisableMusic", L"2: 0");
    SeedSetting(L"UsePlaylist", L"2: 1");
    const std::wstring dpi = std::to_wstring(SystemDpi());
    for (const auto& c : kLanguages) {
        SCOPED_TRACE(c.name);
        const std::wstring language(c.name, c.name + 2);
        if (c.stored) SeedSetting(L"Language", c.stored);
        Open();
        const bool english = language == L"en";
        ExpectTextsFit(dialog_, *settingsLayout, L"settings_" + language + L"_" + dpi, english);

        e2e::Click(Item(EditPlaylist));
        HWND playlist = e2e::WaitForWindow(saver_.Id(), L"#32770", c.playlistCaption, kDeadline);
        ASSERT_NE(playlist, nullptr) << "no playlist editor captioned "
                                     << testing::PrintToString(std::wstring(c.playlistCaption));
        ExpectTextsFit(playlist, *playlistLayout, L"playlist_" + language + L"_" + dpi, english);
        SendMessageW(GetDlgItem(playlist, IDCANCEL), BM_CLICK, 0, 0);
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(playlist); }, kDeadline)) << "the editor stayed open";
        PressAndWaitForExit(Cancel);
    }
}

TEST_F(Languages, NearMissesOfALanguageValueMeanEnglish) {
    for (const wchar_t* stored : {L"3: DE", L"3:  de", L"de", L"3: en", L"2: 1"}) {
        SeedSetting(L"Language", stored);
        Open();
        EXPECT_EQ(Text(Cancel), L"Cancel") << testing::PrintToString(std::wstring(stored));
        PressAndWaitForExit(Cancel);
    }
}

} // namespace
} // namespace settings_e2e
