// Starting programs under test and waiting for them.
#include "tests/e2e/driver/process.h"

#include <psapi.h>

#include <cstdio>
#include <cwctype>
#include <sstream>
#include <utility>
#include <vector>

namespace e2e {
namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[4096];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 4096);
    return length > 0 && length < 4096 ? std::wstring(buffer, length) : std::wstring();
}

double MillisecondsBetween(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Runs `program` with `input` on its standard input; what it wrote to its
// standard output within `milliseconds`.
std::string OutputOf(const std::wstring& program, const std::string& input, DWORD milliseconds) {
    SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    if (!CreatePipe(&inRead, &inWrite, &inherited, 0)) return {};
    if (!CreatePipe(&outRead, &outWrite, &inherited, 0)) {
        CloseHandle(inRead);
        CloseHandle(inWrite);
        return {};
    }
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = outWrite;
    std::wstring commandLine = L"\"" + program + L"\"";
    PROCESS_INFORMATION info{};
    const bool started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
    CloseHandle(inRead);
    CloseHandle(outWrite);
    std::string output;
    if (started) {
        DWORD written = 0;
        WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
        CloseHandle(inWrite);
        inWrite = nullptr;
        const DWORD start = GetTickCount();
        for (;;) {
            DWORD available = 0;
            if (!PeekNamedPipe(outRead, nullptr, 0, nullptr, &available, nullptr)) break; // all written
            if (available > 0) {
                std::vector<char> chunk(available);
                DWORD read = 0;
                if (!ReadFile(outRead, chunk.data(), available, &read, nullptr)) break;
                output.append(chunk.data(), read);
            } else if (GetTickCount() - start > milliseconds) {
                TerminateProcess(info.hProcess, 1);
                break;
            } else {
                Sleep(50);
            }
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    if (inWrite) CloseHandle(inWrite);
    CloseHandle(outRead);
    return output;
}

} // namespace

std::wstring ScreensaverPath() { return Environment(L"SORVANE_SCR"); }
std::wstring ArtifactsFolder() { return Environment(L"SORVANE_ARTIFACTS"); }
std::wstring TestBinFolder() { return Environment(L"SORVANE_TEST_BIN"); }
bool TwoScreensRequested() { return Environment(L"SORVANE_SCREENS") == L"2"; }

Process Process::Start(const std::wstring& program, const std::wstring& arguments, const std::wstring& workingFolder) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    Process result;
    QueryPerformanceCounter(&result.started_);
    if (!CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info))
        return result;
    CloseHandle(info.hThread);
    result.process_ = info.hProcess;
    result.id_ = info.dwProcessId;
    return result;
}

Process Process::Screensaver(const std::wstring& switches, const std::wstring& workingFolder) {
    return Start(ScreensaverPath(), switches, workingFolder);
}

Process::Process(Process&& other) noexcept { *this = std::move(other); }

Process& Process::operator=(Process&& other) noexcept {
    std::swap(process_, other.process_);
    std::swap(id_, other.id_);
    std::swap(started_, other.started_);
    std::swap(ended_, other.ended_);
    return *this;
}

Process::~Process() {
    if (!process_) return;
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool Process::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool Process::WaitForExit(DWORD milliseconds) const {
    if (!process_) return false;
    if (WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0) return false;
    if (ended_.QuadPart == 0) QueryPerformanceCounter(&ended_);
    return true;
}

DWORD Process::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) GetExitCodeProcess(process_, &code);
    return code;
}

double Process::ElapsedMilliseconds() const {
    LARGE_INTEGER now;
    if (ended_.QuadPart) return MillisecondsBetween(started_, ended_);
    QueryPerformanceCounter(&now);
    return MillisecondsBetween(started_, now);
}

std::string Process::ThreadBacktraces() const {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (!process_ || length == 0 || length >= MAX_PATH) return {};
    const std::wstring debugger = std::wstring(system, length) + L"\\winedbg.exe";
    if (GetFileAttributesW(debugger.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
    char attach[32];
    std::snprintf(attach, sizeof attach, "attach 0x%lx\n", static_cast<unsigned long>(id_));
    // "bt all" covers every process; only this one's threads are kept.
    const std::string all = OutputOf(debugger, std::string(attach) + "bt all\ndetach\nquit\n", 60000);
    char ours[32];
    std::snprintf(ours, sizeof ours, " in process %04lx ", static_cast<unsigned long>(id_));
    std::istringstream lines(all);
    std::string line, kept;
    bool keep = false;
    while (std::getline(lines, line)) {
        if (line.rfind("Backtracing for thread ", 0) == 0) keep = line.find(ours) != std::string::npos;
        else if (line.empty() || line == "\r") keep = false;
        if (keep) kept += line + "\n";
    }
    return kept;
}

std::vector<std::wstring> LoadedModules(DWORD processId) {
    std::vector<std::wstring> names;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return names;
    std::vector<HMODULE> modules(512);
    DWORD needed = 0;
    if (!K32EnumProcessModules(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)),
                               &needed)) {
        CloseHandle(process);
        return names;
    }
    modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (HMODULE module : modules) {
        wchar_t name[MAX_PATH];
        const DWORD length = K32GetModuleBaseNameW(process, module, name, MAX_PATH);
        std::wstring text(name, length);
        for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
        names.push_back(text);
    }
    CloseHandle(process);
    return names;
}

} // namespace e2e
