// A debug monitor: the DBWIN_BUFFER section and its two events, served by a
// thread of its own.
#include "tests/e2e/driver/debug_output.h"

#include "tests/e2e/driver/windows.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace e2e {

namespace {

// The section: the writer's process id, then its text, NUL-terminated.
constexpr DWORD kBufferSize = 4096;

} // namespace

struct DebugOutputMonitor::State {
    HANDLE buffer = nullptr, bufferReady = nullptr, dataReady = nullptr;
    void* view = nullptr;
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex;
    std::vector<std::pair<DWORD, std::string>> lines;
    std::thread reader;

    bool Open() {
        buffer = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, L"DBWIN_BUFFER");
        if (!buffer || GetLastError() == ERROR_ALREADY_EXISTS) return false;
        bufferReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
        dataReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
        view = MapViewOfFile(buffer, FILE_MAP_READ, 0, 0, kBufferSize);
        return bufferReady && dataReady && view;
    }

    void Read() {
        SetEvent(bufferReady);
        while (!stopping) {
            if (WaitForSingleObject(dataReady, 100) != WAIT_OBJECT_0) continue;
            DWORD processId = 0;
            std::memcpy(&processId, view, sizeof(processId));
            const char* text = static_cast<const char*>(view) + sizeof(DWORD);
            std::string line(text, strnlen(text, kBufferSize - sizeof(DWORD)));
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
            {
                const std::lock_guard<std::mutex> hold(mutex);
                lines.emplace_back(processId, line);
            }
            SetEvent(bufferReady);
        }
    }

    ~State() {
        stopping = true;
        if (reader.joinable()) reader.join();
        if (view) UnmapViewOfFile(view);
        for (HANDLE handle : {buffer, bufferReady, dataReady})
            if (handle) CloseHandle(handle);
    }
};

DebugOutputMonitor::DebugOutputMonitor() : state_(std::make_unique<State>()) {
    if (state_->Open()) state_->reader = std::thread([state = state_.get()] { state->Read(); });
}

DebugOutputMonitor::~DebugOutputMonitor() = default;

bool DebugOutputMonitor::Listening() const { return state_->reader.joinable(); }

std::vector<std::string> DebugOutputMonitor::From(DWORD processId) const {
    std::vector<std::string> found;
    const std::lock_guard<std::mutex> hold(state_->mutex);
    for (const auto& [id, line] : state_->lines)
        if (id == processId) found.push_back(line);
    return found;
}

bool DebugOutputMonitor::WaitFor(DWORD processId, const std::string& text, DWORD milliseconds) const {
    return WaitUntil(
        [&] {
            for (const std::string& line : From(processId))
                if (line.find(text) != std::string::npos) return true;
            return false;
        },
        milliseconds);
}

} // namespace e2e
