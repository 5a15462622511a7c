// The playlist's file-system calls on the machine's own files.
#include "settings/dialogs/playlist_files.h"

#include <windows.h>

namespace {

// A path with a NUL inside would be cut short by the system and name some
// other file, so it names nothing.
bool IsWholePath(const std::wstring& path) { return path.find(L'\0') == std::wstring::npos; }

class FileReader final : public PlaylistFileReader {
  public:
    FileReader() = default;
    ~FileReader() override {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool Open(const std::wstring& path) {
        file_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        return file_ != INVALID_HANDLE_VALUE;
    }

    std::size_t Read(char* buffer, std::size_t capacity) override {
        const DWORD wanted = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
        DWORD read = 0;
        if (!ReadFile(file_, buffer, wanted, &read, nullptr)) return 0;
        return read;
    }

  private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

class SystemFiles final : public PlaylistFiles {
  public:
    bool Exists(const std::wstring& path) override {
        return IsWholePath(path) && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::unique_ptr<PlaylistFileReader> Open(const std::wstring& path) override {
        if (!IsWholePath(path)) return nullptr;
        auto reader = std::make_unique<FileReader>();
        if (!reader->Open(path)) return nullptr;
        return reader;
    }
};

} // namespace

PlaylistFiles& SystemPlaylistFiles() {
    static SystemFiles files;
    return files;
}
