// Reading files for the decoders.
#include "main_program/audio/open_file_win.h"

#include <cstdio>

namespace audio {

namespace {

// A path with a NUL inside would be cut short by the system and name some
// other file.
bool IsWholePath(const std::wstring& path) { return !path.empty() && path.find(L'\0') == std::wstring::npos; }

} // namespace

ReadFileHandle::ReadFileHandle(const std::wstring& path) {
    if (!IsWholePath(path)) return;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file != INVALID_HANDLE_VALUE) file_.Reset(file);
}

std::size_t ReadFileHandle::Read(void* buffer, std::size_t bytes) {
    DWORD read = 0;
    const DWORD wanted = bytes > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes);
    if (!file_ || !ReadFile(file_.Get(), buffer, wanted, &read, nullptr)) return 0;
    return read;
}

bool ReadFileHandle::Seek(std::int64_t offset, int origin) {
    const DWORD method = origin == SEEK_CUR ? FILE_CURRENT : origin == SEEK_END ? FILE_END : FILE_BEGIN;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return file_ && SetFilePointerEx(file_.Get(), distance, nullptr, method);
}

std::int64_t ReadFileHandle::Tell() {
    LARGE_INTEGER zero{};
    LARGE_INTEGER position{};
    if (!file_ || !SetFilePointerEx(file_.Get(), zero, &position, FILE_CURRENT)) return -1;
    return position.QuadPart;
}

std::int64_t ReadFileHandle::Length() {
    LARGE_INTEGER size{};
    if (!file_ || !GetFileSizeEx(file_.Get(), &size)) return -1;
    return size.QuadPart;
}

} // namespace audio
