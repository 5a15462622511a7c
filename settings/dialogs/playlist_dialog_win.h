// The playlist editor: the dialog that edits the stored list of music files
// and the shuffle setting, opened by "Edit Playlist..." of the settings dialog.
#pragma once

#include "platform/dialog_win.h"
#include "resources/resource_ids.h"
#include "settings/dialogs/playlist_entries.h"

#include <windows.h>

#include <string>

class Node;

class CPlaylistDlg : public platform::DialogImpl<CPlaylistDlg> {
  public:
    enum { IDD = IDD_PLAYLIST };

    // `settings` is the tree the settings dialog is editing; `productName`
    // names the product's registry key, which holds the stored list.
    CPlaylistDlg(Node& settings, std::wstring productName);

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Appends `path` to the list, or the files it names when it is an m3u file.
    void AddFile(const std::wstring& path);

  private:
    void OnInitDialog();
    void OnOk();
    void OnShuffle();
    void OnAdd();
    void OnRemove();
    // Shows `path` as the last item and appends it to the entries.
    void AppendItem(const std::wstring& path);
    std::wstring ProductKey() const;

    Node& settings_;
    std::wstring productName_;
    HWND list_ = nullptr;
    HWND shuffle_ = nullptr;
    int redrawPauses_ = 0;
    PlaylistEntries entries_;
};

// Runs the playlist editor modally over `owner` (the settings dialog passes
// the active window) and returns when it is closed.
void ShowPlaylistDialog(HWND owner, Node& settings, const wchar_t* productName);
