// Reading the main program's published state.
#include "tests/e2e/driver/main_program_state.h"

#include "tests/e2e/driver/windows.h"

#include <cstring>
#include <string>

namespace e2e {

MainProgramState::MainProgramState() {
    const std::wstring name = L"Local\\SorvaneTestState" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(GetTickCount());
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(main_program::TestState),
                                  name.c_str());
    if (!mapping_) return;
    view_ = MapViewOfFile(mapping_, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(main_program::TestState));
    if (view_) std::memset(view_, 0, sizeof(main_program::TestState));
    SetEnvironmentVariableW(L"SORVANE_TEST_STATE", name.c_str());
}

void MainProgramState::Clear() {
    if (view_) std::memset(view_, 0, sizeof(main_program::TestState));
}

MainProgramState::~MainProgramState() {
    SetEnvironmentVariableW(L"SORVANE_TEST_STATE", nullptr);
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
}

namespace {

// The writer's sequence number, read with a full barrier around it.
std::uint32_t Sequence(void* view) {
    auto* sequence = reinterpret_cast<volatile LONG*>(&static_cast<main_program::TestState*>(view)->sequence);
    return static_cast<std::uint32_t>(InterlockedCompareExchange(sequence, 0, 0));
}

} // namespace

std::optional<main_program::TestState> MainProgramState::Read() const {
    if (!view_) return std::nullopt;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::uint32_t before = Sequence(view_);
        main_program::TestState copy;
        std::memcpy(&copy, view_, sizeof copy);
        if (before % 2 == 0 && Sequence(view_) == before) {
            if (copy.magic != main_program::kTestStateMagic) return std::nullopt;
            return copy;
        }
        Sleep(0);
    }
    return std::nullopt;
}

std::optional<main_program::TestState>
MainProgramState::WaitFor(const std::function<bool(const main_program::TestState&)>& condition,
                          DWORD milliseconds) const {
    std::optional<main_program::TestState> found;
    WaitUntil(
        [&] {
            found = Read();
            return found && condition(*found);
        },
        milliseconds);
    if (found && !condition(*found)) return std::nullopt;
    return found;
}

} // namespace e2e
