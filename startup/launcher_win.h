// The launcher's seam as Windows answers it, and the Windows-only steps of
// finding the main program.
#pragma once

#include "startup/launcher.h"

#include <string>

// GetFileAttributesW, SHGetSpecialFolderPathW and GetCurrentDirectoryW.
class WindowsLauncherSystem final : public LauncherSystem {
public:
    bool FileExists(const std::wstring& path) const override;
    bool FolderExists(const std::wstring& path) const override;
    std::optional<std::wstring> ProgramFilesFolder() const override;
    std::optional<std::wstring> CurrentFolder() const override;
};

// True when GetFileAttributesW knows the name: a folder counts, "" does not.
bool FileExists(const std::wstring& path);

// The main program's full path from the registry and the usual folders, or "".
std::wstring FindMainProgram();
