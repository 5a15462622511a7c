// The playlist editor run for real: its template, the list view against the
// stored list, the open-file dialog behind "Add...", Remove, Shuffle, OK and
// Cancel. The dialog runs on a thread of its own; the test drives it as a
// user would.
#include "localization/language_table.h"
#include "settings/dialogs/playlist_dialog_win.h"
#include "settings/store/settings_tree.h"
#include "tests/e2e/driver/dialog_template.h"
#include "tests/e2e/driver/file_dialog.h"
#include "tests/e2e/driver/list_view.h"
#include "tests/e2e/driver/pixels.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/test_files.h"
#include "tests/e2e/driver/windows.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <iterator>
#include <optional>
#include <thread>

namespace {

using Paths = std::vector<std::wstring>;

constexpr const wchar_t* kProductKey = L"Software\\Quenvale\\Sorvane 3D Screensaver";
constexpr DWORD kWait = 10000;

// The playlist editor running modally on its own thread.
class RunningPlaylist {
  public:
    explicit RunningPlaylist(Node& settings, const wchar_t* caption = L"Playlist")
        : thread_([this, &settings] {
              threadId_ = GetCurrentThreadId();
              ShowPlaylistDialog(nullptr, settings, L"Sorvane 3D Screensaver");
              done_ = true;
          }) {
        dialog_ = e2e::WaitForWindow(GetCurrentProcessId(), L"#32770", caption, kWait);
    }

    // A test that failed half-way leaves no window behind.
    ~RunningPlaylist() {
        e2e::WaitUntil(
            [&] {
                if (done_) return true;
                for (HWND window : e2e::TopLevelWindows(GetCurrentProcessId()))
                    if (GetWindowThreadProcessId(window, nullptr) == threadId_) PostMessageW(window, WM_CLOSE, 0, 0);
                return false;
            },
            3 * kWait);
        thread_.join();
    }

    HWND Dialog() const { return dialog_; }
    HWND List() const { return GetDlgItem(dialog_, IDC_PLAYLIST_FILES); }
    HWND Shuffle() const { return GetDlgItem(dialog_, IDC_PLAYLIST_SHUFFLE); }
    Paths Items() const { return e2e::ListViewTexts(List()); }

    // Clicks a button and returns once the dialog has handled the click
    // (not for Add..., whose handler waits in the open-file dialog).
    void Press(int id) const { SendMessageW(GetDlgItem(dialog_, id), BM_CLICK, 0, 0); }
    // The items, once the list holds `count` of them.
    Paths WaitForItems(std::size_t count) const {
        e2e::WaitUntil([&] { return SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0) >= static_cast<LRESULT>(count); },
                       kWait);
        return Items();
    }
    bool WaitClosed() const {
        return e2e::WaitUntil([&] { return done_.load(); }, kWait);
    }

    // Presses "Add..." and returns the open-file dialog it shows.
    HWND OpenAddDialog() const {
        e2e::Click(GetDlgItem(dialog_, IDC_PLAYLIST_ADD));
        return e2e::WaitForOpenFileDialog(GetCurrentProcessId(), kWait);
    }

    // Adds through the open-file dialog: `names` typed in `folder`.
    ::testing::AssertionResult Add(const std::wstring& folder, const std::wstring& names) const {
        HWND open = OpenAddDialog();
        if (!open) return ::testing::AssertionFailure() << "no open-file dialog after Add...";
        if (!e2e::BrowseFileDialog(open, folder, kWait))
            return ::testing::AssertionFailure() << "the open-file dialog did not go to the folder";
        if (!e2e::SubmitFileDialog(open, names, kWait))
            return ::testing::AssertionFailure() << "the open-file dialog did not close after Open";
        return ::testing::AssertionSuccess();
    }

  private:
    std::atomic<bool> done_{false};
    std::atomic<DWORD> threadId_{0};
    std::thread thread_;
    HWND dialog_ = nullptr;
};

// True when the label of item `index` shows dark pixels, as text on the
// list's light background does.
bool DrawsText(HWND list, int index) {
    RECT label{};
    label.left = LVIR_LABEL;
    if (!SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&label)))
        return false;
    RECT client;
    GetClientRect(list, &client);
    IntersectRect(&label, &label, &client);
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&label), 2);
    bool drawn = false;
    e2e::WaitUntil(
        [&] {
            const auto image = e2e::CaptureScreen(label);
            if (!image) return false;
            int dark = 0;
            for (const std::uint32_t pixel : image->pixels)
                if (((pixel >> 16 & 0xFF) + (pixel >> 8 & 0xFF) + (pixel & 0xFF)) < 3 * 96) ++dark;
            drawn = dark >= 10;
            return drawn;
        },
        kWait / 5);
    return drawn;
}

class PlaylistDialog : public ::testing::Test {
  protected:
    void SetUp() override { e2e::DeleteValue(HKEY_LOCAL_MACHINE, kProductKey, L"PlayList"); }
    void TearDown() override { e2e::DeleteValue(HKEY_LOCAL_MACHINE, kProductKey, L"PlayList"); }

    static void Store(const std::wstring& text) {
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"PlayList", text));
    }
    // The stored list, or nothing when the value is missing or not REG_SZ.
    static std::optional<std::wstring> Stored() {
        const auto value = e2e::ReadValue(HKEY_LOCAL_MACHINE, kProductKey, L"PlayList");
        if (!value || value->type != REG_SZ) return std::nullopt;
        std::wstring text = value->Chars();
        while (!text.empty() && text.back() == L'\0')
            text.pop_back(); // a terminator the system may add
        return text;
    }
    static std::wstring Lines(const Paths& paths) {
        std::wstring text;
        for (const auto& path : paths)
            text += path + L"\n";
        return text;
    }

    Node settings_;
    e2e::TestFolder folder_;
};

// --- the template ---------------------------------------------------------

struct ControlLayout {
    DWORD id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style; // besides WS_CHILD | WS_VISIBLE
    short x, y, cx, cy;
};

const DWORD kListStyle =
    LVS_REPORT | LVS_SHOWSELALWAYS | LVS_ALIGNLEFT | LVS_NOCOLUMNHEADER | LVS_NOSORTHEADER | WS_BORDER | WS_TABSTOP;
const ControlLayout kLayout[] = {
    {IDOK, L"Button", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 68, 195, 50, 14},
    {IDCANCEL, L"Button", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 127, 195, 50, 14},
    {IDC_PLAYLIST_FILES, L"SysListView32", L"", kListStyle, 14, 16, 218, 148},
    {IDC_PLAYLIST_ADD, L"Button", L"Add...", BS_PUSHBUTTON | WS_TABSTOP, 14, 170, 54, 12},
    {IDC_PLAYLIST_REMOVE, L"Button", L"Remove", BS_PUSHBUTTON | WS_TABSTOP, 72, 170, 54, 12},
    {static_cast<DWORD>(-1), L"Button", L"", BS_GROUPBOX, 7, 7, 232, 182},
    {IDC_PLAYLIST_SHUFFLE, L"Button", L"Shuffle", BS_AUTOCHECKBOX | WS_TABSTOP, 150, 171, 80, 10},
};

TEST(PlaylistDialogTemplate, HoldsTheControlsInTabOrderWithTheirStylesAndPlaces) {
    const auto dialog = e2e::ReadDialogTemplate(GetModuleHandleW(nullptr), IDD_PLAYLIST);
    ASSERT_TRUE(dialog.has_value()) << "no extended dialog template " << IDD_PLAYLIST;
    EXPECT_EQ(dialog->style,
              static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER))
        << std::hex << dialog->style;
    EXPECT_EQ(dialog->exStyle, static_cast<DWORD>(WS_EX_TOOLWINDOW)) << std::hex << dialog->exStyle;
    EXPECT_EQ(dialog->title, L"Playlist");
    EXPECT_EQ(dialog->pointSize, 8);
    EXPECT_EQ(dialog->typeface, L"MS Shell Dlg");
    EXPECT_EQ(dialog->cx, 246);
    EXPECT_EQ(dialog->cy, 216);
    ASSERT_EQ(dialog->items.size(), std::size(kLayout));
    for (std::size_t i = 0; i < std::size(kLayout); ++i) {
        const ControlLayout& want = kLayout[i];
        const e2e::TemplateItem& got = dialog->items[i];
        EXPECT_EQ(got.id, want.id) << "control " << i;
        // Class names are matched without regard to case, and the resource
        // compiler may store them in capitals.
        EXPECT_EQ(CompareStringOrdinal(got.className.c_str(), -1, want.className, -1, TRUE), CSTR_EQUAL)
            << "id " << want.id << ": class " << ::testing::PrintToString(got.className);
        EXPECT_EQ(got.text, want.text) << "id " << want.id;
        EXPECT_EQ(got.style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE) | want.style)
            << "id " << want.id << ": style " << std::hex << got.style;
        EXPECT_EQ(got.exStyle, 0u) << "id " << want.id;
        EXPECT_EQ((std::vector<short>{got.x, got.y, got.cx, got.cy}),
                  (std::vector<short>{want.x, want.y, want.cx, want.cy}))
            << "id " << want.id;
    }
}

TEST_F(PlaylistDialog, OpensWithItsControlsInPlaceAndOneColumnSizedForTheSizingText) {
    RunningPlaylist run(settings_);
    ASSERT_NE(run.Dialog(), nullptr);
    HWND dialog = run.Dialog();
    EXPECT_EQ(e2e::WindowText(dialog), L"Playlist");
    EXPECT_NE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);

    HWND child = GetWindow(dialog, GW_CHILD);
    for (const auto& want : kLayout) {
        ASSERT_NE(child, nullptr) << "no control where id " << want.id << " belongs";
        EXPECT_EQ(static_cast<DWORD>(GetDlgCtrlID(child)) & 0xFFFF, want.id & 0xFFFF);
        // The dialog manager converts each number on its own.
        RECT units{want.x, want.y, want.cx, want.cy};
        MapDialogRect(dialog, &units);
        RECT got;
        GetWindowRect(child, &got);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&got), 2);
        EXPECT_EQ((std::vector<LONG>{got.left, got.top, got.right - got.left, got.bottom - got.top}),
                  (std::vector<LONG>{units.left, units.top, units.right, units.bottom}))
            << "id " << want.id;
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "more controls than the template's";

    HWND list = run.List();
    const int width = e2e::ListViewStringWidth(list, L"FileName" + std::wstring(98, L' '));
    EXPECT_GT(width, 0);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), width + 15);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), 0) << "a second column";

    run.Press(IDCANCEL);
    EXPECT_TRUE(run.WaitClosed());
}

// --- the stored list ------------------------------------------------------

TEST_F(PlaylistDialog, ShowsTheExistingStoredFilesAndOkStoresThemAgain) {
    const std::wstring song = folder_.AddFile(L"a.mp3");
    Store(song + L"\n# a comment\n\n" + folder_.Path() + L"\\missing.mp3\n");
    RunningPlaylist run(settings_);
    ASSERT_NE(run.Dialog(), nullptr);
    EXPECT_EQ(run.Items(), (Paths{song}));
    EXPECT_TRUE(DrawsText(run.List(), 0)) << "the list view does not draw the stored file";
    run.Press(IDOK);
    ASSERT_TRUE(run.WaitClosed());
    EXPECT_EQ(Stored(), song + L"\n");
}

TEST_F(PlaylistDialog, ReadsALastLineWithoutLineFeedAndDropsLinesEndingInCarriageReturns) {
    const Paths songs{folder_.AddFile(L"a.mp3"), folder_.AddFile(L"b.mp3"), folder_.AddFile(L"c.mp3")};
    const std::wstring stored = songs[0] + L"\n" + songs[1] + L"\r\n" + songs[2];
    Store(stored);
    RunningPlaylist run(settings_);
    ASSERT_NE(run.Dialog(), nullptr);
    EXPECT_EQ(run.Items(), (Paths{songs[0], songs[2]}));
    run.Press(IDCANCEL);
    ASSERT_TRUE(run.WaitClosed());
    EXPECT_EQ(Stored(), stored) << "Cancel wrote the list";
}

TEST_F(PlaylistDialog, AnEmptyListIsStoredAsAnEmptyText) {
    RunningPlaylist run(settings_);
    ASSERT_NE(run.Dialog(), nullptr);
    EXPECT_EQ(run.Items(), Paths{});
    run.Press(IDOK);
    ASSERT_TRUE(run.WaitClosed());
    EXPECT_EQ(Stored(), L"");
}

TEST_F(PlaylistDialog, CancelAndTheCloseBoxKeepTheStoredList) {
    const Paths songs{folder_.AddFile(L"a.mp3"), folder_.AddFile(L"b.mp3")};
    Store(Lines(songs));
    for (const bool closeBox : {false, true}) {
        RunningPlaylist run(settings_);
        ASSERT_NE(run.Dialog(), nullptr);
        ASSERT_TRUE(e2e::SelectListViewItems(run.List(), {0}));
        run.Press(IDC_PLAYLIST_REMOVE);
        EXPECT_EQ(run.Items(), (Paths{songs[1]}));
        if (closeBox)
            e2e::Close(run.Dialog());
        else
            run.Press(IDCANCEL);
        ASSERT_TRUE(run.WaitClosed());
        EXPECT_EQ(Stored(), Lines(songs)) << (closeBox ? "the close box" : "Cancel") << " wrote the list";
    }
}

TEST_F(PlaylistDialog, OkClosesQuietlyWhenTheListCannotBeStored) {
    const std::wstring song = folder_.AddFile(L"a.mp3");
    Store(song + L"\n" + song + L"\n");
    ASSERT_TRUE(e2e::DenyWrites(HKEY_LOCAL_MACHINE, kProductKey));
    {
        RunningPlaylist run(settings_);
        ASSERT_NE(run.Dialog(), nullptr);
        ASSERT_TRUE(e2e::SelectListViewItems(run.List(), {1}));
        run.Press(IDC_PLAYLIST_REMOVE);
        run.Press(IDOK);
        // A message box would hold the dialog open.
        EXPECT_TRUE(run.WaitClosed());
    }
    EXPECT_EQ(Stored(), song + L"\n" + song + L"\n");
    e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey); // gives the rights back
}

// --- Remove ---------------------------------------------------------------

TEST_F(PlaylistDialog, RemoveTakesOutEverySelectedItemAndTheEntryBehindIt) {
    Paths songs;
    for (const wchar_t* name : {L"0.mp3", L"1.mp3", L"2.mp3", L"3.mp3", L"4.mp3"})
        songs.push_back(folder_.AddFile(name));
    Store(Lines(songs));
    RunningPlaylist run(settings_);
    ASSERT_NE(run.Dialog(), nullptr);
    ASSERT_EQ(run.Items(), songs);

    ASSERT_TRUE(e2e::SelectListViewItems(run.List(), {}));
    run.Press(IDC_PLAYLIST_REMOVE);
    EXPECT_EQ(run.Items(), songs) << "Remove without a selection";

    ASSERT_TRUE(e2e::SelectListViewItems(run.List(), {1, 2}));
    run.Press(IDC_PLAYLIST_REMOVE);
    const Paths left{songs[0], songs[3], songs[4]};
    EXPECT_EQ(run.Items(), left);
    EXPECT_EQ(e2e::SelectedListViewItems(run.List()), std::vector<int>{});

    run.Press(IDOK);
    ASSERT_TRUE(run.WaitClosed());
    EXPECT_EQ(Stored(), Lines(left));
}

// --- Shuffle --------------------------------------------------------------

TEST_F(PlaylistDialog, ShuffleShowsTheSettingAndChangesItAtOnceEvenOnCancel) {
    struct Case {
        const char* what;
        std::optional<int> stored;
        bool shownChecked;
        int afterClick;
    };
    const Case cases[] = {
        {"a missing setting reads as off", std::nullopt, false, 1},
        {"off", 0, false, 1},
        {"on", 1, true, 0},
    };
    for (const Case& c : cases) {
        Node settings;
        if (c.stored) settings.Get(L"ShufflePlayList") = static_cast<std::int32_t>(*c.stored);
        {
            RunningPlaylist run(settings);
            ASSERT_NE(run.Dialog(), nullptr) << c.what;
            EXPECT_EQ(e2e::IsChecked(run.Shuffle()), c.shownChecked) << c.what;
            run.Press(IDC_PLAYLIST_SHUFFLE);
            EXPECT_EQ(e2e::IsChecked(run.Shuffle()), !c.shownChecked) << c.what;
            run.Press(IDCANCEL);
            ASSERT_TRUE(run.WaitClosed()) << c.what;
        }
        ASSERT_TRUE(settings.Has(L"ShufflePlayList", Node::Kind::Int)) << c.what;
        EXPECT_EQ(settings.Get(L"ShufflePlayList").AsInt(), c.afterClick) << c.what;
    }
    EXPECT_FALSE(Stored().has_value()) << "Shuffle wrote the list";
}

// --- Add ------------------------------------------------------------------

TEST_F(PlaylistDialog, AddOffersTheFileTypesAndCancellingItChangesNothing) {
    const std::wstring song = folder_.AddFile(L"a.mp3");
    Store(song + L"\n");
    RunningPlaylist run(settings_);
    ASSERT_NE(run.Dialog(), nullptr);
    HWND open = run.OpenAddDialog();
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(e2e::FileDialogTypes(open),
              (Paths{L"All supported files (*.m3u,*.pls;*.mp3;*.wma;*.aac;*.ogg;*.flac;*.wav;*.mid)",
                     L"Playlist Files (*.m3u,*.pls)", L"MP3 (*.mp3)", L"Windows Media Audio (*.wma)",
                     L"Advanced Audio Coding (*.aac)", L"Ogg Vorbis (*.ogg)", L"FLAC (*.flac)",
                     L"Windows Audio File (*.wav)", L"MIDI File (*.mid)"}));
    e2e::Click(GetDlgItem(open, IDCANCEL));
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(open); }, kWait));
    SendMessageW(run.Dialog(), WM_NULL, 0, 0);
    EXPECT_EQ(run.Items(), (Paths{song}));
    EXPECT_TRUE(DrawsText(run.List(), 0)) << "the list view does not draw the stored file";
    run.Press(IDOK);
    ASSERT_TRUE(run.WaitClosed());
    EXPECT_EQ(Stored(), song + L"\n");
}

TEST_F(PlaylistDialog, AddAppendsOneFileAndTheSameFileAgain) {
    const std::wstring first = folder_.AddFile(L"first.mp3");
    const std::wstring song = folder_.AddFile(L"music\\song one.mp3");
    Store(first + L"\n");
    RunningPlaylist run(settings_);
    ASSERT_NE(run.Dialog(), nullptr);
    ASSERT_TRUE(run.Add(folder_.Path() + L"\\music", L"song one.mp3"));
    EXPECT_EQ(run.WaitForItems(2), (Paths{first, song}));
    ASSERT_TRUE(run.Add(folder_.Path() + L"\\music", L"song one.mp3"));
    EXPECT_EQ(run.WaitForItems(3), (Paths{first, song, song}));
    run.Press(IDOK);
    ASSERT_TRUE(run.WaitClosed());
    EXPECT_EQ(Stored(), Lines({first, song, song}));
}

TEST_F(PlaylistDialog, AddAppendsSeveralFilesOfOneFolderInTheOrderTheDialogGivesThem) {
    const std::wstring music = folder_.Path() + L"\\music";
    const Paths songs{folder_.AddFile(L"music\\c.mp3"), folder_.AddFile(L"music\\a.ogg"),
                      folder_.AddFile(L"music\\b.flac")};
    RunningPlaylist run(settings_);
    ASSERT_NE(run.Dialog(), nullptr);
    ASSERT_TRUE(run.Add(music, L"\"c.mp3\" \"a.ogg\" \"b.flac\""));
    EXPECT_EQ(run.WaitForItems(3), songs);
    run.Press(IDOK);
    ASSERT_TRUE(run.WaitClosed());
    EXPECT_EQ(Stored(), Lines(songs));
}

TEST_F(PlaylistDialog, AddInADrivesRootFolderGivesPathsWithOneBackslash) {
    const std::wstring a = L"C:\\sorvane-playlist-root-a.mp3";
    const std::wstring b = L"C:\\sorvane-playlist-root-b.mp3";
    ASSERT_TRUE(e2e::WriteTestFile(a, "audio"));
    ASSERT_TRUE(e2e::WriteTestFile(b, "audio"));
    {
        RunningPlaylist run(settings_);
        ASSERT_NE(run.Dialog(), nullptr);
        EXPECT_TRUE(run.Add(L"C:\\", L"\"sorvane-playlist-root-a.mp3\" \"sorvane-playlist-root-b.mp3\""));
        EXPECT_TRUE(run.Add(L"C:\\", L"sorvane-playlist-root-b.mp3"));
        EXPECT_EQ(run.WaitForItems(3), (Paths{a, b, b}));
        run.Press(IDOK);
        EXPECT_TRUE(run.WaitClosed());
    }
    e2e::RemoveTree(a);
    e2e::RemoveTree(b);
    EXPECT_EQ(Stored(), Lines({a, b, b}));
}

TEST_F(PlaylistDialog, AddExpandsALowerCaseM3uIntoItsExistingFiles) {
    const std::wstring kino = L"\u041a\u0438\u043d\u043e";
    const std::wstring before = folder_.AddFile(L"before.mp3");
    const std::wstring song = folder_.AddFile(L"music\\song.mp3");
    const std::wstring cyrillic = folder_.AddFile(L"music\\" + kino + L".mp3");
    const std::wstring elsewhere = folder_.AddFile(L"other\\x.wav");
    std::string absolute(elsewhere.begin(), elsewhere.end()); // the test folder's path is ASCII
    folder_.AddFile(L"music\\list.m3u", "#EXTM3U\r\n#EXTINF:1,Song\r\nsong.mp3\r\n" + absolute +
                                            "\r\nmissing.mp3\r\n\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE.mp3\r\n");
    Store(before + L"\n");
    RunningPlaylist run(settings_);
    ASSERT_NE(run.Dialog(), nullptr);
    ASSERT_TRUE(run.Add(folder_.Path() + L"\\music", L"list.m3u"));
    EXPECT_EQ(run.WaitForItems(4), (Paths{before, song, elsewhere, cyrillic}));
    run.Press(IDOK);
    ASSERT_TRUE(run.WaitClosed());
    EXPECT_EQ(Stored(), Lines({before, song, elsewhere, cyrillic}));
}

TEST_F(PlaylistDialog, AddTakesAnUpperCaseM3uAndAPlsAsTheyAre) {
    folder_.AddFile(L"music\\song.mp3");
    const std::wstring upper = folder_.AddFile(L"music\\LIST.M3U", "song.mp3\r\n");
    const std::wstring pls = folder_.AddFile(L"music\\list.pls", "[playlist]\r\nFile1=song.mp3\r\n");
    RunningPlaylist run(settings_);
    ASSERT_NE(run.Dialog(), nullptr);
    ASSERT_TRUE(run.Add(folder_.Path() + L"\\music", L"LIST.M3U"));
    ASSERT_TRUE(run.Add(folder_.Path() + L"\\music", L"list.pls"));
    EXPECT_EQ(run.WaitForItems(2), (Paths{upper, pls}));
    run.Press(IDOK);
    ASSERT_TRUE(run.WaitClosed());
    EXPECT_EQ(Stored(), Lines({upper, pls}));
}

TEST_F(PlaylistDialog, AddExpandsAnM3uChosenTogetherWithOtherFilesInItsPlace) {
    const std::wstring a = folder_.AddFile(L"music\\a.mp3");
    const std::wstring b = folder_.AddFile(L"music\\b.mp3");
    const std::wstring song = folder_.AddFile(L"music\\song.mp3");
    folder_.AddFile(L"music\\list.m3u", "song.mp3\r\nb.mp3\r\n");
    RunningPlaylist run(settings_);
    ASSERT_NE(run.Dialog(), nullptr);
    ASSERT_TRUE(run.Add(folder_.Path() + L"\\music", L"\"a.mp3\" \"list.m3u\" \"b.mp3\""));
    EXPECT_EQ(run.WaitForItems(4), (Paths{a, song, b, b}));
    EXPECT_TRUE(DrawsText(run.List(), 3)) << "the list view does not draw its last item";
    run.Press(IDOK);
    ASSERT_TRUE(run.WaitClosed());
    EXPECT_EQ(Stored(), Lines({a, song, b, b}));
}

// --- translation ----------------------------------------------------------

TEST_F(PlaylistDialog, ShowsItsTextsAndFileTypesInTheChosenLanguage) {
    struct TableScope {
        ~TableScope() { LanguageTable::DestroyCurrent(); }
    } scope;
    LanguageTable& table = LanguageTable::Create(L"", IDR_LANGUAGE_TABLE);
    ASSERT_TRUE(table.SetLanguage(L"fr"));
    Store(Lines({folder_.AddFile(L"Chanson d'automne.mp3"), folder_.AddFile(L"\u00c9t\u00e9 indien.ogg")}));

    RunningPlaylist run(settings_, L"Liste");
    ASSERT_NE(run.Dialog(), nullptr) << "no dialog captioned \"Liste\"";
    HWND dialog = run.Dialog();
    const std::pair<int, const wchar_t*> texts[] = {
        {IDOK, L"OK"},
        {IDCANCEL, L"Annuler"},
        {IDC_PLAYLIST_ADD, L"Ajouter..."},
        {IDC_PLAYLIST_REMOVE, L"Retirer"},
        {IDC_PLAYLIST_SHUFFLE, L"Ordre al\u00e9atoire"},
        {IDC_PLAYLIST_FILES, L""},
    };
    for (const auto& [id, text] : texts)
        EXPECT_EQ(e2e::WindowText(GetDlgItem(dialog, id)), text) << "id " << id;
    EXPECT_EQ(e2e::WindowText(FindWindowExW(dialog, GetDlgItem(dialog, IDC_PLAYLIST_REMOVE), L"Button", nullptr)), L"")
        << "the group box";
    EXPECT_TRUE(e2e::SaveScreenshot(dialog, e2e::ArtifactsFolder() + L"\\playlist_dialog_fr.bmp"));

    HWND open = run.OpenAddDialog();
    ASSERT_NE(open, nullptr);
    const Paths types = e2e::FileDialogTypes(open);
    ASSERT_GE(types.size(), 3u);
    EXPECT_EQ(types[0], L"Tout les fichiers support\u00e9s (*.m3u,*.pls;*.mp3;*.wma;*.aac;*.ogg;*.flac;*.wav;*.mid)");
    EXPECT_EQ(types[1], L"Fichiers de la liste (*.m3u,*.pls)");
    EXPECT_EQ(types[2], L"MP3 (*.mp3)");
    e2e::Click(GetDlgItem(open, IDCANCEL));
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(open); }, kWait));
    run.Press(IDCANCEL);
    EXPECT_TRUE(run.WaitClosed());
}

} // namespace
