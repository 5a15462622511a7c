// Prints what a large playlist costs: reading 5,000 stored entries and
// writing their stored form, and under Windows opening the playlist editor
// on 5,000 existing files and storing the list with OK.
#include "settings/dialogs/playlist_entries.h"
#include "settings/dialogs/playlist_files_memory.h"

#ifdef _WIN32
#include "localization/language_table.h"
#include "settings/dialogs/playlist_dialog_win.h"
#include "platform/registry_access.h"
#include "settings/store/settings_tree.h"

#include <commctrl.h>
#include <windows.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kFiles = 5000;
constexpr int kRuns = 5;

double Milliseconds(Clock::duration elapsed) { return std::chrono::duration<double, std::milli>(elapsed).count(); }

struct Figures {
    std::vector<double> runs;
    void Add(double ms) { runs.push_back(ms); }
    void Print(const char* what) const {
        const double best = *std::min_element(runs.begin(), runs.end());
        double sum = 0;
        for (const double ms : runs)
            sum += ms;
        std::printf("%-62s %9.2f ms mean %9.2f ms best  (%zu runs)\n", what, sum / runs.size(), best, runs.size());
    }
};

// A path of typical length in a music collection.
std::wstring SongPath(const std::wstring& folder, std::size_t i) {
    return folder + L"\\Artist " + std::to_wstring(i / 12) + L"\\Album " + std::to_wstring(i / 12) + L"\\" +
           std::to_wstring(i % 12 + 1) + L" - Song number " + std::to_wstring(i) + L".mp3";
}

void MeasureEntriesInMemory() {
    MemoryPlaylistFiles files;
    PlaylistEntries source(files);
    for (std::size_t i = 0; i < kFiles; ++i) {
        const std::wstring path = SongPath(L"D:\\Music", i);
        files.AddFile(path);
        source.Append(path);
    }
    const std::wstring stored = source.ToText();
    Figures parse, store;
    for (int run = 0; run < kRuns; ++run) {
        PlaylistEntries entries(files);
        auto start = Clock::now();
        entries.ParseText(stored, L"");
        parse.Add(Milliseconds(Clock::now() - start));
        start = Clock::now();
        const std::wstring text = entries.ToText();
        store.Add(Milliseconds(Clock::now() - start));
        if (entries.Count() != kFiles || text != stored) std::printf("unexpected result\n");
    }
    parse.Print("ParseText of 5,000 entries, files held in memory");
    store.Print("ToText of 5,000 entries");
}

#ifdef _WIN32

constexpr const wchar_t* kBenchProduct = L"Sorvane 3D Screensaver Bench";

// Removes a folder and everything in it.
void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

bool CreateSongs(const std::wstring& folder, std::vector<std::wstring>& paths) {
    CreateDirectoryW(folder.c_str(), nullptr);
    for (std::size_t i = 0; i < kFiles; ++i) {
        const std::wstring path = SongPath(folder, i);
        const std::wstring album = path.substr(0, path.rfind(L'\\'));
        CreateDirectoryW(album.substr(0, album.rfind(L'\\')).c_str(), nullptr);
        CreateDirectoryW(album.c_str(), nullptr);
        HANDLE file =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        CloseHandle(file);
        paths.push_back(path);
    }
    return true;
}

// The editor with clocks around its initialisation and its OK; it presses
// OK itself as soon as it has opened. With an m3u path it adds that file
// first, then selects every item and removes them all, and cancels.
class TimedPlaylistDlg : public CPlaylistDlg {
  public:
    using CPlaylistDlg::CPlaylistDlg;
    std::wstring m3u;
    Clock::time_point started, opened, storeStarted, stored;
    double addMs = 0, removeMs = 0;
    int items = 0, itemsAfterAdd = 0, itemsAfterRemove = 0;

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WM_COMMAND && LOWORD(wParam) == IDOK) storeStarted = Clock::now();
        const BOOL handled = CPlaylistDlg::ProcessWindowMessage(window, message, wParam, lParam, result);
        if (message == WM_INITDIALOG) {
            opened = Clock::now();
            HWND list = Item(IDC_PLAYLIST_FILES);
            items = ItemCount(list);
            if (!m3u.empty()) {
                auto start = Clock::now();
                AddFile(m3u);
                addMs = Milliseconds(Clock::now() - start);
                itemsAfterAdd = ItemCount(list);
                LVITEMW all{};
                all.stateMask = LVIS_SELECTED;
                all.state = LVIS_SELECTED;
                SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&all));
                start = Clock::now();
                SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_PLAYLIST_REMOVE, BN_CLICKED), 0);
                removeMs = Milliseconds(Clock::now() - start);
                itemsAfterRemove = ItemCount(list);
            }
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(m3u.empty() ? IDOK : IDCANCEL, BN_CLICKED), 0);
        } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
            stored = Clock::now();
        }
        return handled;
    }

  private:
    static int ItemCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }
};

void MeasureEditor() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder = std::wstring(temp) + L"sorvane-playlist-bench";
    RemoveTree(folder);
    std::vector<std::wstring> paths;
    if (!CreateSongs(folder, paths)) {
        std::printf("could not create the files under %ls\n", folder.c_str());
        RemoveTree(folder);
        return;
    }
    std::wstring stored;
    for (const auto& path : paths)
        stored += path + L"\n";
    const std::wstring key = std::wstring(L"Software\\Quenvale\\") + kBenchProduct;

    LanguageTable::Create(L"", IDR_LANGUAGE_TABLE).SetLanguage(L"fr");
    Figures check, open, store;
    for (int run = 0; run < kRuns; ++run) {
        WriteRegistryString(HKEY_LOCAL_MACHINE, key.c_str(), L"PlayList", stored, true);

        PlaylistEntries entries(SystemPlaylistFiles());
        auto start = Clock::now();
        entries.ParseText(stored, L"");
        check.Add(Milliseconds(Clock::now() - start));

        Node settings;
        TimedPlaylistDlg dialog(settings, kBenchProduct);
        dialog.started = Clock::now();
        dialog.DoModal(nullptr, 0);
        std::wstring written;
        ReadRegistryString(HKEY_LOCAL_MACHINE, key.c_str(), L"PlayList", written, true);
        if (dialog.items != static_cast<int>(kFiles) || written != stored)
            std::printf("unexpected result: %d items, stored list %s\n", dialog.items,
                        written == stored ? "as before" : "changed");
        open.Add(Milliseconds(dialog.opened - dialog.started));
        store.Add(Milliseconds(dialog.stored - dialog.storeStarted));
    }
    // An m3u in the collection's folder naming every song by its relative path.
    std::string m3u = "#EXTM3U\r\n";
    for (const auto& path : paths) {
        const std::wstring relative = path.substr(folder.size() + 1);
        m3u += std::string(relative.begin(), relative.end()) + "\r\n";
    }
    const std::wstring m3uPath = folder + L"\\all.m3u";
    HANDLE file =
        CreateFileW(m3uPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, m3u.data(), static_cast<DWORD>(m3u.size()), &written, nullptr);
        CloseHandle(file);
    }
    Figures add, remove;
    WriteRegistryString(HKEY_LOCAL_MACHINE, key.c_str(), L"PlayList", L"", true);
    for (int run = 0; run < kRuns; ++run) {
        Node settings;
        TimedPlaylistDlg dialog(settings, kBenchProduct);
        dialog.m3u = m3uPath;
        dialog.DoModal(nullptr, 0);
        if (dialog.itemsAfterAdd != static_cast<int>(kFiles) || dialog.itemsAfterRemove != 0)
            std::printf("unexpected result: %d items added, %d left\n", dialog.itemsAfterAdd, dialog.itemsAfterRemove);
        add.Add(dialog.addMs);
        remove.Add(dialog.removeMs);
    }

    check.Print("ParseText of 5,000 stored entries, existing files on disk");
    open.Print("Editor opened on 5,000 existing files (read, check, list)");
    store.Print("Editor's OK: 5,000 entries stored in the registry");
    add.Print("Editor's Add of an m3u naming 5,000 existing files");
    remove.Print("Editor's Remove of 5,000 selected items");

    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Quenvale", 0, KEY_WRITE, &parent) == ERROR_SUCCESS) {
        RegDeleteKeyW(parent, kBenchProduct);
        RegCloseKey(parent);
    }
    RemoveTree(folder);
}

#endif

} // namespace

int main() {
    MeasureEntriesInMemory();
#ifdef _WIN32
    MeasureEditor();
#endif
    return 0;
}
