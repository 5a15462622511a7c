// The playlist editor's dialog: the list view in step with the entries, the
// open-file dialog behind "Add...", Remove, Shuffle, and the stored list on OK.
#include "settings/dialogs/playlist_dialog_win.h"

#include "localization/language_table.h"
#include "settings/store/settings_schema.h"
#include "platform/registry_access.h"
#include "settings/store/settings_tree.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cwchar>
#include <utility>
#include <vector>

namespace {

constexpr const wchar_t* kPlayListValue = L"PlayList";
constexpr const wchar_t* kMakerKeyPrefix = L"Software\\Quenvale\\";

// The column is sized for this text; the list view has no header, so the
// text itself never shows.
constexpr const wchar_t* kColumnName = L"FileName";
constexpr std::size_t kColumnBlanks = 98;
constexpr int kColumnMargin = 15;

constexpr std::size_t kFileNameCapacity = 65536;
constexpr DWORD kOpenFlags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ALLOWMULTISELECT;
static_assert(kOpenFlags == 0x00081A00, "open-file dialog flags");
#ifndef _WIN64
static_assert(sizeof(OPENFILENAMEW) == 88, "the open-file structure of 32-bit Windows");
#endif

// The open-file dialog's filter: display text, NUL, pattern, NUL, ..., NUL.
std::wstring FileTypeFilter() {
    const std::pair<std::wstring, const wchar_t*> types[] = {
        {Translate(L"All supported files") + L" (*.m3u,*.pls;*.mp3;*.wma;*.aac;*.ogg;*.flac;*.wav;*.mid)",
         L"*.m3u;*.pls;*.mp3;*.wma;*.aac;*.ogg;*.flac;*.wav;*.mid"},
        {Translate(L"Playlist Files") + L" (*.m3u,*.pls)", L"*.m3u;*.pls"},
        {L"MP3 (*.mp3)", L"*.mp3"},
        {L"Windows Media Audio (*.wma)", L"*.wma"},
        {L"Advanced Audio Coding (*.aac)", L"*.aac"},
        {L"Ogg Vorbis (*.ogg)", L"*.ogg"},
        {L"FLAC (*.flac)", L"*.flac"},
        {L"Windows Audio File (*.wav)", L"*.wav"},
        {L"MIDI File (*.mid)", L"*.mid"},
    };
    std::wstring filter;
    for (const auto& [display, pattern] : types) {
        filter += display;
        filter += L'\0';
        filter += pattern;
        filter += L'\0';
    }
    filter += L'\0';
    return filter;
}

// The NUL-terminated text at `at` in `buffer`, cut at the buffer's end.
std::wstring TextAt(const std::vector<wchar_t>& buffer, std::size_t at) {
    if (at >= buffer.size()) return {};
    const wchar_t* start = buffer.data() + at;
    return std::wstring(start, wcsnlen(start, buffer.size() - at));
}

// Holds back a list view's drawing while many items come or go: the list view
// otherwise updates itself after every single item, which makes thousands of
// items take seconds. Pauses may nest (an m3u file among several chosen
// files); drawing resumes when the outermost ends.
class RedrawPause {
  public:
    RedrawPause(HWND list, int& depth) : list_(list), depth_(depth) {
        if (depth_++ == 0) SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    }
    ~RedrawPause() {
        if (--depth_ > 0) return;
        SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list_, nullptr, TRUE);
    }
    RedrawPause(const RedrawPause&) = delete;
    RedrawPause& operator=(const RedrawPause&) = delete;

  private:
    HWND list_;
    int& depth_;
};

bool EndsWithM3u(const std::wstring& path) { return path.size() >= 3 && path.compare(path.size() - 3, 3, L"m3u") == 0; }

} // namespace

CPlaylistDlg::CPlaylistDlg(Node& settings, std::wstring productName)
    : settings_(settings), productName_(std::move(productName)), entries_(SystemPlaylistFiles()) {}

std::wstring CPlaylistDlg::ProductKey() const { return kMakerKeyPrefix + productName_; }

BOOL CPlaylistDlg::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        result = TRUE; // the dialog manager sets the default focus
        return TRUE;
    case WM_CLOSE:
        EndDialog(0);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0) return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOk();
            return TRUE;
        case IDCANCEL:
            EndDialog(0);
            return TRUE;
        case IDC_PLAYLIST_SHUFFLE:
            OnShuffle();
            return TRUE;
        case IDC_PLAYLIST_ADD:
            OnAdd();
            return TRUE;
        case IDC_PLAYLIST_REMOVE:
            OnRemove();
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

void CPlaylistDlg::OnInitDialog() {
    list_ = Item(IDC_PLAYLIST_FILES);
    shuffle_ = Item(IDC_PLAYLIST_SHUFFLE);

    std::wstring columnText = kColumnName + std::wstring(kColumnBlanks, L' ');
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx =
        static_cast<int>(SendMessageW(list_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(columnText.c_str()))) +
        kColumnMargin;
    column.pszText = columnText.data();
    column.iSubItem = 0;
    SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

    std::wstring stored;
    if (FAILED(ReadRegistryString(HKEY_LOCAL_MACHINE, ProductKey().c_str(), kPlayListValue, stored, true)))
        stored.clear();
    PlaylistEntries loaded(SystemPlaylistFiles());
    loaded.ParseText(stored, L"");
    SendMessageW(list_, LVM_SETITEMCOUNT, static_cast<WPARAM>(loaded.Count()), 0);
    {
        const RedrawPause pause(list_, redrawPauses_);
        for (std::size_t i = 0; i < loaded.Count(); ++i)
            AppendItem(loaded.EntryAt(i));
    }

    SetTextBlock(L"Screensaver Settings Dialog");
    TranslateWindow(Handle());
    FitTranslatedTexts(Handle());

    const bool shuffle =
        settings_.Has(setting::kShufflePlayList, Node::Kind::Int) && settings_.Get(setting::kShufflePlayList).AsBool();
    SendMessageW(shuffle_, BM_SETCHECK, shuffle ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CPlaylistDlg::OnOk() {
    // A failed write (no administrative rights) leaves the stored list as it
    // was; the dialog closes all the same.
    WriteRegistryString(HKEY_LOCAL_MACHINE, ProductKey().c_str(), kPlayListValue, entries_.ToText(), true);
    EndDialog(0);
}

void CPlaylistDlg::OnShuffle() {
    const bool checked = SendMessageW(shuffle_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    settings_.Get(setting::kShufflePlayList) = Node::Value(static_cast<std::int32_t>(checked ? 1 : 0));
}

void CPlaylistDlg::OnAdd() {
    const std::wstring filter = FileTypeFilter();
    std::vector<wchar_t> names(kFileNameCapacity, L'\0');

    OPENFILENAMEW request{};
    // The size of the structure as this build defines it: 88 bytes is the
    // 32-bit layout, which 64-bit Windows refuses.
    request.lStructSize = sizeof(request);
    request.hwndOwner = Handle();
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = names.data();
    request.nMaxFile = static_cast<DWORD>(names.size());
    request.Flags = kOpenFlags;
    request.lpstrDefExt = L"*.*";
    if (!GetOpenFileNameW(&request)) {
        CommDlgExtendedError();
        return;
    }

    const std::size_t offset = request.nFileOffset;
    if (offset == 0 || offset >= names.size() || names[offset - 1] != L'\0') {
        AddFile(TextAt(names, 0));
        return;
    }
    // A folder, then the chosen names, each ended by a NUL, then an empty name.
    const RedrawPause pause(list_, redrawPauses_);
    std::wstring folder = TextAt(names, 0);
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    for (std::size_t at = offset; at < names.size() && names[at] != L'\0';) {
        const std::wstring name = TextAt(names, at);
        AddFile(folder + name);
        at += name.size() + 1;
    }
}

void CPlaylistDlg::AddFile(const std::wstring& path) {
    // Only a lower-case "m3u" ending marks a playlist to expand; the
    // character before it is not looked at.
    if (!EndsWithM3u(path)) {
        AppendItem(path);
        return;
    }
    PlaylistEntries loaded(SystemPlaylistFiles());
    loaded.LoadM3u(path);
    const RedrawPause pause(list_, redrawPauses_);
    for (std::size_t i = 0; i < loaded.Count(); ++i)
        AppendItem(loaded.EntryAt(i));
}

void CPlaylistDlg::AppendItem(const std::wstring& path) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(entries_.Count());
    item.iSubItem = 0;
    item.pszText = const_cast<wchar_t*>(path.c_str());
    // Item i shows entry i: an entry the list view did not take would put
    // every later one out of step, and Remove would drop the wrong files.
    if (SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) == -1) return;
    entries_.Append(path);
}

void CPlaylistDlg::OnRemove() {
    if (SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0) == 0) return;
    const RedrawPause pause(list_, redrawPauses_);
    for (int i = 0; i < static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));) {
        LVITEMW item{};
        item.mask = LVIF_STATE;
        item.iItem = i;
        item.stateMask = 0xFFFF;
        const bool selected =
            SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) && (item.state & LVIS_SELECTED) != 0;
        // The next item moves into index i; an item that would not go away
        // is passed over rather than asked about for ever.
        if (selected && SendMessageW(list_, LVM_DELETEITEM, static_cast<WPARAM>(i), 0)) {
            entries_.RemoveAt(static_cast<std::size_t>(i));
        } else {
            ++i;
        }
    }
}

void ShowPlaylistDialog(HWND owner, Node& settings, const wchar_t* productName) {
    // The configure mode registers only the trackbar's classes; the list
    // view's must exist before the template creates one.
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    CPlaylistDlg dialog(settings, productName ? productName : L"");
    dialog.DoModal(owner, 0);
}
