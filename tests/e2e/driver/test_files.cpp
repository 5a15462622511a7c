// Real files and folders that tests make under Wine.
#include "tests/e2e/driver/test_files.h"

#include <atomic>

namespace e2e {
namespace {

std::atomic<unsigned> g_folders{0};

void CreateFoldersOf(const std::wstring& path) {
    for (std::size_t slash = path.find(L'\\', 3); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1))
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
}

} // namespace

TestFolder::TestFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp) + L"sorvane-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++g_folders);
    RemoveTree(path_);
    CreateFoldersOf(path_ + L"\\");
}

TestFolder::~TestFolder() { RemoveTree(path_); }

std::wstring TestFolder::AddFile(const std::wstring& relative, const std::string& bytes) {
    const std::wstring path = path_ + L"\\" + relative;
    CreateFoldersOf(path);
    WriteTestFile(path, bytes);
    return path;
}

bool WriteTestFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

} // namespace e2e
