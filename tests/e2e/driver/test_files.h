// Real files and folders made by tests under Wine, removed
// again when the test ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

class TestFolder {
  public:
    // A new, empty folder below the temporary folder.
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // The folder's path, without a trailing backslash.
    const std::wstring& Path() const { return path_; }
    // Creates a file (and the folders on its way) at `relative` below the
    // folder, holding `bytes`; returns its full path.
    std::wstring AddFile(const std::wstring& relative, const std::string& bytes = "audio");

  private:
    std::wstring path_;
};

// Creates a file at an absolute path; false on failure.
bool WriteTestFile(const std::wstring& path, const std::string& bytes);
// Removes a file or a folder with everything in it.
void RemoveTree(const std::wstring& path);

} // namespace e2e
