// The playlist's entries over the machine's own files: m3u files written in
// UTF-8 or single bytes, folders, and files another program holds open.
#include "settings/dialogs/playlist_entries.h"
#include "tests/e2e/driver/test_files.h"

#include <gtest/gtest.h>

namespace {

using Paths = std::vector<std::wstring>;

Paths EntriesOf(const PlaylistEntries& entries) {
    Paths paths;
    for (std::size_t i = 0; i < entries.Count(); ++i)
        paths.push_back(entries.EntryAt(i));
    return paths;
}

const std::wstring kCafe = L"caf\u00e9";                           // café
const std::wstring kKino = L"\u041a\u0438\u043d\u043e";            // Кино
const std::wstring kYolka = L"\u0401\u043b\u043a\u0430 \u2013 01"; // Ёлка – 01
const std::string kCafeUtf8 = "caf\xC3\xA9";
const std::string kKinoUtf8 = "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE";
const std::string kYolkaUtf8 = "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0 \xE2\x80\x93 01";

std::string Utf8(const std::wstring& text) {
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], bytes, nullptr, nullptr);
    return out;
}

TEST(PlaylistFilesOnDisk, Utf8M3uNamesAccentedAndCyrillicFiles) {
    e2e::TestFolder folder;
    const std::wstring cafe = folder.AddFile(L"music\\" + kCafe + L".mp3");
    const std::wstring kino = folder.AddFile(L"music\\" + kKino + L".ogg");
    const std::wstring yolka = folder.AddFile(L"other\\" + kYolka + L".flac");
    const std::wstring plain = folder.AddFile(L"music\\plain.mp3");
    const std::wstring m3u = folder.AddFile(
        L"music\\list.m3u", "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:215," + kKinoUtf8 + "\r\n" + kCafeUtf8 + ".mp3\r\n" +
                                kKinoUtf8 + ".ogg\r\nplain.mp3\r\n" + Utf8(folder.Path()) + "\\other\\" + kYolkaUtf8 +
                                ".flac\r\n" + kKinoUtf8 + " (missing).mp3\r\n");

    PlaylistEntries entries(SystemPlaylistFiles());
    entries.LoadM3u(m3u);
    EXPECT_EQ(EntriesOf(entries), (Paths{cafe, kino, plain, yolka}));
}

TEST(PlaylistFilesOnDisk, SingleByteM3uNamesTheFileOfTheSameCharacters) {
    e2e::TestFolder folder;
    const std::wstring cafe = folder.AddFile(kCafe + L".mp3");
    const std::wstring m3u = folder.AddFile(L"list.m3u", "caf\xE9.mp3\r\n");
    PlaylistEntries entries(SystemPlaylistFiles());
    entries.LoadM3u(m3u);
    EXPECT_EQ(EntriesOf(entries), (Paths{cafe}));
}

TEST(PlaylistFilesOnDisk, M3uHeldOpenForWritingByAnotherProgramIsRead) {
    e2e::TestFolder folder;
    const std::wstring song = folder.AddFile(L"song.mp3");
    const std::wstring m3u = folder.AddFile(L"list.m3u", "song.mp3\r\n");
    HANDLE writer = CreateFileW(m3u.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    PlaylistEntries entries(SystemPlaylistFiles());
    entries.LoadM3u(m3u);
    CloseHandle(writer);
    EXPECT_EQ(EntriesOf(entries), (Paths{song}));
}

TEST(PlaylistFilesOnDisk, StoredTextKeepsFoldersAndDropsMissingFilesAndCutPaths) {
    e2e::TestFolder folder;
    const std::wstring song = folder.AddFile(L"song.mp3");
    std::wstring text = folder.Path() + L"\n" + song + L"\n" + folder.Path() + L"\\gone.mp3\n";
    text += song + std::wstring(1, L'\0') + L"x\n"; // names nothing: the system would see only `song`
    PlaylistEntries entries(SystemPlaylistFiles());
    entries.ParseText(text, L"");
    EXPECT_EQ(EntriesOf(entries), (Paths{folder.Path(), song}));
}

TEST(PlaylistFilesOnDisk, FoldersAndMissingFilesCannotBeOpenedAsM3u) {
    e2e::TestFolder folder;
    folder.AddFile(L"song.mp3");
    EXPECT_EQ(SystemPlaylistFiles().Open(folder.Path()), nullptr);
    EXPECT_EQ(SystemPlaylistFiles().Open(folder.Path() + L"\\missing.m3u"), nullptr);
    PlaylistEntries entries(SystemPlaylistFiles());
    entries.LoadM3u(folder.Path() + L"\\missing.m3u");
    EXPECT_EQ(entries.Count(), 0u);
}

} // namespace
