// The main program's stand-in as the test driver installs, steers and reads it.
#include "tests/e2e/driver/main_program_stand_in.h"

#include "tests/e2e/driver/main_program_stand_in_protocol.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/windows.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace e2e {
namespace {

std::wstring Normalised(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    std::transform(path.begin(), path.end(), path.begin(), [](wchar_t c) { return std::towlower(c); });
    return path;
}

std::optional<std::wstring> ReadWholeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::wstring text;
    wchar_t chunk[1024];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0)
        text.append(chunk, read / sizeof(wchar_t));
    CloseHandle(file);
    return text;
}

std::wstring Field(const std::wstring& record, const wchar_t* name) {
    const std::wstring prefix = std::wstring(name) + L"=";
    std::size_t at = 0;
    while (at < record.size()) {
        std::size_t end = record.find(L'\n', at);
        if (end == std::wstring::npos) end = record.size();
        if (record.compare(at, prefix.size(), prefix) == 0)
            return record.substr(at + prefix.size(), end - at - prefix.size());
        at = end + 1;
    }
    return std::wstring();
}

} // namespace

bool SameFolder(const std::wstring& a, const std::wstring& b) { return Normalised(a) == Normalised(b); }

std::wstring MainProgramStandIn::BuiltProgram() { return TestBinFolder() + L"\\main_program_stand_in.exe"; }

MainProgramStandIn::MainProgramStandIn(DWORD exitCode, bool hold) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    static unsigned serial = 0;
    const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
    recordPath_ = std::wstring(temp, length) + L"sorvane-stand-in-" + tag + L".txt";
    DeleteFileW(recordPath_.c_str());
    SetEnvironmentVariableW(stand_in::kRecordVariable, recordPath_.c_str());
    SetEnvironmentVariableW(stand_in::kExitCodeVariable, std::to_wstring(exitCode).c_str());
    if (hold) {
        const std::wstring eventName = L"SorvaneStandInHold-" + tag;
        hold_ = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
        SetEnvironmentVariableW(stand_in::kHoldVariable, eventName.c_str());
    } else {
        SetEnvironmentVariableW(stand_in::kHoldVariable, nullptr);
    }
}

MainProgramStandIn::~MainProgramStandIn() {
    Release();
    if (hold_) CloseHandle(hold_);
    SetEnvironmentVariableW(stand_in::kRecordVariable, nullptr);
    SetEnvironmentVariableW(stand_in::kExitCodeVariable, nullptr);
    SetEnvironmentVariableW(stand_in::kHoldVariable, nullptr);
    DeleteFileW(recordPath_.c_str());
    // A released stand-in may still be ending: its file cannot go before it has.
    for (auto file = madeFiles_.rbegin(); file != madeFiles_.rend(); ++file) {
        const std::wstring path = *file;
        WaitUntil(
            [&] { return DeleteFileW(path.c_str()) || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; },
            10000);
    }
    for (auto folder = madeFolders_.rbegin(); folder != madeFolders_.rend(); ++folder)
        RemoveDirectoryW(folder->c_str());
}

bool MainProgramStandIn::MakeFolder(const std::wstring& folder) {
    std::wstring path = folder;
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const std::size_t separator = path.rfind(L'\\');
    if (separator != std::wstring::npos && separator > 2 && !MakeFolder(path.substr(0, separator))) return false;
    if (!CreateDirectoryW(path.c_str(), nullptr)) return false;
    madeFolders_.push_back(path);
    return true;
}

bool MainProgramStandIn::InstallInto(const std::wstring& folder, const std::wstring& program) {
    if (!MakeFolder(folder)) return false;
    const std::wstring target = folder + kMainProgramName;
    if (!CopyFileW(program.c_str(), target.c_str(), FALSE)) return false;
    madeFiles_.push_back(target);
    return true;
}

bool MainProgramStandIn::InstallNonProgramInto(const std::wstring& folder) {
    if (!MakeFolder(folder)) return false;
    const std::wstring target = folder + kMainProgramName;
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    madeFiles_.push_back(target);
    const char text[] = "This file holds text, not a program.\r\n";
    DWORD written = 0;
    const bool ok = WriteFile(file, text, sizeof(text) - 1, &written, nullptr) && written == sizeof(text) - 1;
    CloseHandle(file);
    return ok;
}

bool MainProgramStandIn::InstallFolderNamedLikeTheProgramInto(const std::wstring& folder) {
    return MakeFolder(folder + kMainProgramName);
}

bool MainProgramStandIn::HasRecord() const {
    return GetFileAttributesW(recordPath_.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<StandInRecord> MainProgramStandIn::WaitForRecord(DWORD milliseconds) const {
    if (!WaitUntil([&] { return HasRecord(); }, milliseconds)) return std::nullopt;
    const auto text = ReadWholeFile(recordPath_);
    if (!text) return std::nullopt;
    StandInRecord record;
    record.commandLine = Field(*text, stand_in::kCommandLineField);
    record.workingFolder = Field(*text, stand_in::kWorkingFolderField);
    record.processId = static_cast<DWORD>(std::wcstoul(Field(*text, stand_in::kProcessIdField).c_str(), nullptr, 10));
    record.started = std::wcstoll(Field(*text, stand_in::kStartedField).c_str(), nullptr, 10);
    return record;
}

void MainProgramStandIn::Release() {
    if (hold_) SetEvent(hold_);
}

void MainProgramStandIn::ForgetRecord() { DeleteFileW(recordPath_.c_str()); }

} // namespace e2e
