// The playlist editor in the shipped program, opened with "Edit Playlist..."
// of the settings dialog: the stored list, Add through the real open-file
// dialog, Remove, Shuffle against the settings dialog's OK and Cancel, and
// the French texts.
#include "tests/e2e/driver/file_dialog.h"
#include "tests/e2e/driver/list_view.h"
#include "tests/e2e/driver/test_files.h"
#include "tests/e2e/settings_dialog_fixture.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace settings_e2e {
namespace {

using Paths = std::vector<std::wstring>;

enum PlaylistControl { Shuffle = 1074, Add = 1080, Remove = 1081, Files = 1082 };

std::wstring Lines(const Paths& paths) {
    std::wstring text;
    for (const auto& path : paths)
        text += path + L"\n";
    return text;
}

class PlaylistEditor : public SettingsDialogTest {
  protected:
    void SetUp() override {
        SettingsDialogTest::SetUp();
        if (HasFatalFailure()) return;
        // "Edit Playlist..." is enabled only with music on and "Play my music" checked.
        SeedSetting(L"DisableMusic", L"2: 0");
        SeedSetting(L"UsePlaylist", L"2: 1");
    }

    void TearDown() override {
        // Whatever the test left open above the settings dialog goes first.
        if (saver_.Running()) {
            e2e::WaitUntil(
                [&] {
                    bool others = false;
                    for (HWND window : e2e::TopLevelWindows(saver_.Id())) {
                        if (window == dialog_ || !IsWindowVisible(window)) continue;
                        others = true;
                        PostMessageW(window, WM_CLOSE, 0, 0);
                    }
                    return !others;
                },
                kDeadline);
        }
        SettingsDialogTest::TearDown();
    }

    // Opens the settings dialog, then the playlist editor from it.
    void OpenPlaylist(const wchar_t* caption = L"Playlist") {
        Open();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(Enabled(EditPlaylist));
        e2e::Click(Item(EditPlaylist));
        playlist_ = e2e::WaitForWindow(saver_.Id(), L"#32770", caption, kDeadline);
        ASSERT_NE(playlist_, nullptr) << "no playlist editor captioned "
                                      << testing::PrintToString(std::wstring(caption));
    }

    HWND PlaylistItem(int id) const { return GetDlgItem(playlist_, id); }
    Paths Items() const { return e2e::ListViewTexts(PlaylistItem(Files)); }
    // The items once the list holds `count` of them.
    Paths WaitForItems(std::size_t count) const {
        e2e::WaitUntil(
            [&] { return SendMessageW(PlaylistItem(Files), LVM_GETITEMCOUNT, 0, 0) >= static_cast<LRESULT>(count); },
            kDeadline);
        return Items();
    }
    // Clicks a button of the editor; returns once the editor has handled it.
    void PressInPlaylist(int id) const { SendMessageW(PlaylistItem(id), BM_CLICK, 0, 0); }
    // Closes the editor with OK or Cancel and waits until it is gone.
    void ClosePlaylist(int id) {
        PressInPlaylist(id);
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(playlist_); }, kDeadline)) << "the editor stayed open";
    }

    // Adds through the open-file dialog: `names` typed in `folder`.
    testing::AssertionResult AddFiles(const std::wstring& folder, const std::wstring& names) {
        e2e::Click(PlaylistItem(Add));
        HWND open = e2e::WaitForOpenFileDialog(saver_.Id(), kDeadline);
        if (!open) return testing::AssertionFailure() << "no open-file dialog after Add...";
        if (!e2e::BrowseFileDialog(open, folder, kDeadline))
            return testing::AssertionFailure()
                   << "the open-file dialog did not go to " << testing::PrintToString(folder);
        if (!e2e::SubmitFileDialog(open, names, kDeadline))
            return testing::AssertionFailure()
                   << "the open-file dialog did not close for " << testing::PrintToString(names);
        return testing::AssertionSuccess();
    }

    HWND playlist_ = nullptr;
    e2e::TestFolder music_;
};

TEST_F(PlaylistEditor, ShowsTheExistingStoredFileAndOkStoresItAlone) {
    const std::wstring song = music_.AddFile(L"a.mp3");
    SeedSetting(L"PlayList", song + L"\n# not a file\n\n" + music_.Path() + L"\\missing.mp3\n");
    OpenPlaylist();
    EXPECT_EQ(Items(), (Paths{song}));
    ClosePlaylist(Ok);
    EXPECT_EQ(Stored(L"PlayList"), song + L"\n");
    PressAndWaitForExit(Cancel);
    EXPECT_EQ(Stored(L"PlayList"), song + L"\n") << "the settings dialog's Cancel undid the editor's OK";
}

TEST_F(PlaylistEditor, AddsOneFileSeveralFromOneFolderAndAFileFromADrivesRoot) {
    const std::wstring one = music_.AddFile(L"rock\\one.mp3");
    const Paths three{music_.AddFile(L"jazz\\c.mp3"), music_.AddFile(L"jazz\\a.wma"), music_.AddFile(L"jazz\\b.ogg")};
    const std::wstring rootA = L"C:\\sorvane-e2e-root-a.mp3";
    const std::wstring rootB = L"C:\\sorvane-e2e-root-b.mp3";
    ASSERT_TRUE(e2e::WriteTestFile(rootA, "audio"));
    ASSERT_TRUE(e2e::WriteTestFile(rootB, "audio"));
    OpenPlaylist();
    EXPECT_TRUE(AddFiles(music_.Path() + L"\\rock", L"one.mp3"));
    EXPECT_EQ(WaitForItems(1), (Paths{one}));
    EXPECT_TRUE(AddFiles(music_.Path() + L"\\jazz", L"\"c.mp3\" \"a.wma\" \"b.ogg\""));
    EXPECT_EQ(WaitForItems(4), (Paths{one, three[0], three[1], three[2]}));
    // The folder the dialog reports for the root already ends with a backslash.
    EXPECT_TRUE(AddFiles(L"C:\\", L"\"sorvane-e2e-root-b.mp3\" \"sorvane-e2e-root-a.mp3\""));
    EXPECT_TRUE(AddFiles(L"C:\\", L"sorvane-e2e-root-a.mp3"));
    const Paths all{one, three[0], three[1], three[2], rootB, rootA, rootA};
    EXPECT_EQ(WaitForItems(7), all);
    ClosePlaylist(Ok);
    e2e::RemoveTree(rootA);
    e2e::RemoveTree(rootB);
    EXPECT_EQ(Stored(L"PlayList"), Lines(all));
    PressAndWaitForExit(Cancel);
}

TEST_F(PlaylistEditor, AddsTheFilesOfAnM3uAndAnUpperCaseM3uAsItself) {
    const std::wstring song = music_.AddFile(L"lists\\song.mp3");
    const std::wstring elsewhere = music_.AddFile(L"other\\track.flac");
    const std::wstring cyrillic = music_.AddFile(L"lists\\\u041a\u0438\u043d\u043e.mp3");
    music_.AddFile(L"lists\\mix.m3u", "#EXTM3U\r\n#EXTINF:10,Song\r\nsong.mp3\r\n" +
                                          std::string(elsewhere.begin(), elsewhere.end()) +
                                          "\r\nmissing.mp3\r\n\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE.mp3\r\n");
    const std::wstring upper = music_.AddFile(L"lists\\LOUD.M3U", "song.mp3\r\n");
    OpenPlaylist();
    EXPECT_TRUE(AddFiles(music_.Path() + L"\\lists", L"mix.m3u"));
    EXPECT_EQ(WaitForItems(3), (Paths{song, elsewhere, cyrillic}));
    EXPECT_TRUE(AddFiles(music_.Path() + L"\\lists", L"LOUD.M3U"));
    EXPECT_EQ(WaitForItems(4), (Paths{song, elsewhere, cyrillic, upper}));
    ClosePlaylist(Ok);
    EXPECT_EQ(Stored(L"PlayList"), Lines({song, elsewhere, cyrillic, upper}));
    PressAndWaitForExit(Cancel);
}

TEST_F(PlaylistEditor, RemoveOfItemsOneAndTwoOfFiveLeavesZeroThreeAndFour) {
    Paths songs;
    for (const wchar_t* name : {L"0.mp3", L"1.mp3", L"2.mp3", L"3.mp3", L"4.mp3"})
        songs.push_back(music_.AddFile(name));
    SeedSetting(L"PlayList", Lines(songs));
    OpenPlaylist();
    ASSERT_EQ(Items(), songs);
    ASSERT_TRUE(e2e::SelectListViewItems(PlaylistItem(Files), {1, 2}));
    PressInPlaylist(Remove);
    const Paths left{songs[0], songs[3], songs[4]};
    EXPECT_EQ(Items(), left);
    ClosePlaylist(Ok);
    EXPECT_EQ(Stored(L"PlayList"), Lines(left));
    PressAndWaitForExit(Cancel);
}

TEST_F(PlaylistEditor, ShuffleOutlivesTheEditorsCancelAndIsStoredOnlyByTheSettingsDialogsOk) {
    struct Case {
        int settingsButton;
        const wchar_t* stored;
    };
    for (const Case& c : {Case{Ok, L"2: 1"}, Case{Cancel, L"2: 0"}}) {
        SeedSetting(L"ShufflePlayList", L"2: 0");
        OpenPlaylist();
        EXPECT_FALSE(e2e::IsChecked(PlaylistItem(Shuffle)));
        PressInPlaylist(Shuffle);
        EXPECT_TRUE(e2e::IsChecked(PlaylistItem(Shuffle)));
        ClosePlaylist(Cancel);
        EXPECT_EQ(Stored(L"ShufflePlayList"), L"2: 0") << "the editor wrote the setting itself";
        PressAndWaitForExit(c.settingsButton);
        EXPECT_EQ(Stored(L"ShufflePlayList"), c.stored)
            << "after the settings dialog's " << (c.settingsButton == Ok ? "OK" : "Cancel");
        EXPECT_EQ(Stored(L"PlayList"), L"(missing)") << "the editor's Cancel wrote the list";
    }
}

TEST_F(PlaylistEditor, ShowsItsTextsInFrench) {
    SeedSetting(L"Language", L"3: fr");
    SeedSetting(L"PlayList", Lines({music_.AddFile(L"Chanson d'automne.mp3"), music_.AddFile(L"\u00c9t\u00e9.ogg")}));
    OpenPlaylist(L"Liste");
    const std::pair<int, const wchar_t*> texts[] = {
        {Add, L"Ajouter..."},
        {Remove, L"Retirer"},
        {Ok, L"OK"},
        {Cancel, L"Annuler"},
        {Shuffle, L"Ordre al\u00e9atoire"},
        {Files, L""},
    };
    for (const auto& [id, text] : texts)
        EXPECT_EQ(e2e::WindowText(PlaylistItem(id)), text) << "control " << id;
    EXPECT_TRUE(e2e::SaveScreenshot(playlist_, e2e::ArtifactsFolder() + L"\\playlist_editor_fr.bmp"));
    ClosePlaylist(Cancel);
    PressAndWaitForExit(Cancel);
}

} // namespace
} // namespace settings_e2e
