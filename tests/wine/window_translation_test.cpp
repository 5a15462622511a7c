// TranslateWindow on a real dialog built from a template, with the language
// table loaded from this test program's own resource as the program loads it;
// and FitTranslatedTexts making room for long texts in that dialog.
#include "localization/language_table.h"
#include "resource_ids.h"
#include "tests/e2e/driver/text_fit.h"
#include "tests/wine/resources/translation_test_ids.h"

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A modeless dialog from the test template, destroyed with the test.
class TestDialog {
  public:
    TestDialog() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TRANSLATION_TEST), nullptr,
                                     PlainDialogProc, 0);
    }
    ~TestDialog() {
        if (window_) DestroyWindow(window_);
    }
    TestDialog(const TestDialog&) = delete;
    TestDialog& operator=(const TestDialog&) = delete;
    HWND Get() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }

  private:
    HWND window_ = nullptr;
};

std::wstring Text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, &text[0], length + 1)));
    return text;
}

class WindowTranslationTest : public ::testing::Test {
  protected:
    void TearDown() override { LanguageTable::DestroyCurrent(); }
};

TEST_F(WindowTranslationTest, TableFromTheResourceHasItsLanguagesAndBlocks) {
    LanguageTable& table = LanguageTable::Create(L"", IDR_LANGUAGE_TABLE);
    EXPECT_EQ(table.LanguageCount(), 4u);
    EXPECT_EQ(table.TextBlockCount(), 2u);
    EXPECT_EQ(table.LanguageTag(), L"en");
    ASSERT_TRUE(SetTextBlock(L"Screensaver Settings Dialog"));
    ASSERT_TRUE(SetLanguage(L"fr"));
    EXPECT_EQ(Translate(L"Error!"), L"Erreur!");
}

TEST_F(WindowTranslationTest, PlaylistDialogIsTranslatedInEveryLanguage) {
    const struct {
        const wchar_t* tag;
        const wchar_t* caption;
        const wchar_t* add;
        const wchar_t* remove;
        const wchar_t* cancel;
        const wchar_t* shuffle;
    } rows[] = {
        {L"fr", L"Liste", L"Ajouter...", L"Retirer", L"Annuler",
         L"Ordre al\u00e9"
         L"atoire"},
        {L"de", L"Playliste", L"Hinzuf\u00fcgen...", L"Entfernen", L"Abbrechen", L"Zuf\u00e4llige Wiedergabe"},
        {L"ru", L"\u041f\u043b\u0435\u0439\u043b\u0438\u0441\u0442",
         L"\u0414\u043e\u0431\u0430\u0432\u0438\u0442\u044c...", L"\u0423\u0434\u0430\u043b\u0438\u0442\u044c",
         L"\u041e\u0442\u043c\u0435\u043d\u0430",
         L"\u041f\u0435\u0440\u0435\u043c\u0435\u0448\u0438\u0432\u0430\u043d\u0438\u0435"},
        {L"en", L"Playlist", L"Add...", L"Remove", L"Cancel", L"Shuffle"},
    };
    for (const auto& row : rows) {
        const std::string language = testing::PrintToString(std::wstring(row.tag));
        LanguageTable::Create(L"", IDR_LANGUAGE_TABLE);
        ASSERT_TRUE(SetLanguage(row.tag)) << language;
        ASSERT_TRUE(SetTextBlock(L"Screensaver Settings Dialog"));
        TestDialog dialog;
        ASSERT_TRUE(dialog.Get()) << "the test template did not make a dialog";
        // A control inside a child window: only direct children are translated.
        HWND nested = CreateWindowExW(0, L"STATIC", L"Remove", WS_CHILD, 0, 0, 40, 10,
                                      dialog.Item(IDC_TRANSLATION_GROUP), nullptr, nullptr, nullptr);
        ASSERT_TRUE(nested);

        TranslateWindow(dialog.Get());

        EXPECT_EQ(Text(dialog.Get()), row.caption) << language;
        EXPECT_EQ(Text(dialog.Item(IDOK)), L"OK") << language;
        EXPECT_EQ(Text(dialog.Item(IDCANCEL)), row.cancel) << language;
        EXPECT_EQ(Text(dialog.Item(IDC_TRANSLATION_ADD)), row.add) << language;
        EXPECT_EQ(Text(dialog.Item(IDC_TRANSLATION_REMOVE)), row.remove) << language;
        EXPECT_EQ(Text(dialog.Item(IDC_TRANSLATION_SHUFFLE)), row.shuffle) << language;
        EXPECT_EQ(Text(dialog.Item(IDC_TRANSLATION_GROUP)), L"") << language;
        EXPECT_EQ(Text(dialog.Item(IDC_TRANSLATION_LIST)), L"") << language;
        EXPECT_EQ(Text(dialog.Item(IDC_TRANSLATION_PLAIN)), L"Not a key") << language;
        EXPECT_EQ(Text(dialog.Item(IDC_TRANSLATION_LOWER)), L"cancel") << language;
        EXPECT_EQ(Text(nested), L"Remove") << language;
    }
}

TEST_F(WindowTranslationTest, WithoutTableTheDialogKeepsItsTexts) {
    LanguageTable::DestroyCurrent();
    TestDialog dialog;
    ASSERT_TRUE(dialog.Get());
    TranslateWindow(dialog.Get());
    EXPECT_EQ(Text(dialog.Get()), L"Playlist");
    EXPECT_EQ(Text(dialog.Item(IDCANCEL)), L"Cancel");
}

TEST_F(WindowTranslationTest, TextsBeyondTheReadLimitMatchNoKey) {
    const std::wstring fits(1023, L'x');
    const std::wstring tooLong(1024, L'y');
    std::string xml = "<Root><Languages><Language Tag=\"en\"/></Languages><TextBlock Tag=\"B\">";
    xml += "<Var Tag=\"" + std::string(1023, 'x') + "\"><String Lang=\"en\" Text=\"fits\"/></Var>";
    xml += "<Var Tag=\"" + std::string(1024, 'y') + "\"><String Lang=\"en\" Text=\"too long\"/></Var>";
    xml += "</TextBlock></Root>\r\n";
    LanguageTable::CreateFromResourceBytes(xml.data(), xml.size());
    TestDialog dialog;
    ASSERT_TRUE(dialog.Get());
    SetWindowTextW(dialog.Item(IDC_TRANSLATION_PLAIN), fits.c_str());
    SetWindowTextW(dialog.Item(IDC_TRANSLATION_LOWER), tooLong.c_str());
    TranslateWindow(dialog.Get());
    EXPECT_EQ(Text(dialog.Item(IDC_TRANSLATION_PLAIN)), L"fits");
    EXPECT_EQ(Text(dialog.Item(IDC_TRANSLATION_LOWER)), tooLong) << "read cut to 1,023 characters, so no key";
}

// Texts too long for their controls, each with the edges its control may
// move: free space on the side a text is anchored to first, then the other
// side, then lines below; never over a neighbour, never out of the group box.
TEST_F(WindowTranslationTest, LongTextsGrowTheirControlsIntoFreeSpaceOnly) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Get());
    const auto layout = e2e::ReadDialogTemplate(GetModuleHandleW(nullptr), IDD_TRANSLATION_TEST);
    ASSERT_TRUE(layout);
    enum Edge { Left = 1, Right = 2, Bottom = 4 };
    const struct {
        int id;
        const wchar_t* text;
        int moves; // the edges that move outwards; the others stay
    } rows[] = {
        // A push button between two others: wider to the right, up to the check box.
        {IDC_TRANSLATION_REMOVE, L"Remove all songs", Right},
        // A check box at the group's right: to the frame's inset, then to the left.
        {IDC_TRANSLATION_SHUFFLE, L"Play songs in any order", Left | Right},
        // Right-aligned text: leftwards to its neighbour, then to the right.
        {IDC_TRANSLATION_RIGHT, L"A right-aligned label that is rather long", Left | Right},
        // Wrapping text wider than the group: as wide as it may be, then lines below.
        {IDC_TRANSLATION_LOWER,
         L"A left-aligned text so long that even the whole width of the group box holds it only on three or four "
         L"lines, which the free space below it gives, down to the buttons",
         Left | Right | Bottom},
        // Texts that fit stay where they are.
        {IDOK, L"OK", 0},
        {IDC_TRANSLATION_PLAIN, L"Short", 0},
    };
    auto rectOf = [&](HWND control) {
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog.Get(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    std::vector<RECT> before;
    for (const auto& row : rows) {
        SetWindowTextW(dialog.Item(row.id), row.text);
        before.push_back(rectOf(dialog.Item(row.id)));
    }

    FitTranslatedTexts(dialog.Get());

    const e2e::DialogFont font(*layout, e2e::WindowDpi(dialog.Get()));
    for (const auto& cut : e2e::CutTexts(dialog.Get(), font))
        ADD_FAILURE() << cut;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const RECT now = rectOf(dialog.Item(rows[i].id));
        SCOPED_TRACE(testing::PrintToString(std::wstring(rows[i].text)));
        EXPECT_EQ(now.left < before[i].left, (rows[i].moves & Left) != 0);
        EXPECT_EQ(now.right > before[i].right, (rows[i].moves & Right) != 0);
        EXPECT_EQ(now.bottom > before[i].bottom, (rows[i].moves & Bottom) != 0);
        EXPECT_TRUE(now.left <= before[i].left && now.right >= before[i].right && now.top == before[i].top &&
                    now.bottom >= before[i].bottom)
            << "a control shrank or moved";
    }
    RECT group = rectOf(dialog.Item(IDC_TRANSLATION_GROUP));
    for (HWND a = GetTopWindow(dialog.Get()); a; a = GetWindow(a, GW_HWNDNEXT)) {
        if (a == dialog.Item(IDC_TRANSLATION_GROUP)) continue;
        const RECT first = rectOf(a);
        RECT inside;
        EXPECT_TRUE(!IntersectRect(&inside, &first, &group) || EqualRect(&inside, &first))
            << "control " << GetDlgCtrlID(a) << " crosses the group box's frame";
        for (HWND b = GetWindow(a, GW_HWNDNEXT); b; b = GetWindow(b, GW_HWNDNEXT)) {
            const RECT second = rectOf(b);
            RECT overlap;
            EXPECT_TRUE(b == dialog.Item(IDC_TRANSLATION_GROUP) || !IntersectRect(&overlap, &first, &second))
                << "controls " << GetDlgCtrlID(a) << " and " << GetDlgCtrlID(b) << " overlap";
        }
    }
}

} // namespace
