// The watchdog thread.
#include "main_program/input/watchdog_win.h"

#include "main_program/input/watchdog.h"
#include "platform/debug_output_win.h"

#include <thread>

namespace input {

namespace {

Point Pointer() {
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
}

DWORD LastInput() {
    LASTINPUTINFO info{};
    info.cbSize = sizeof info;
    return GetLastInputInfo(&info) ? info.dwTime : 0;
}

bool AnyKeyOrButtonDown() {
    for (int key = VK_LBUTTON; key <= VK_OEM_CLEAR; ++key)
        if (GetAsyncKeyState(key) & 0x8000) return true;
    return false;
}

} // namespace

Watchdog::Watchdog(HWND window, UINT heartbeat, bool mouseMoveEnds) : shared_(std::make_shared<Shared>()) {
    shared_->lastAnswer = GetTickCount();
    try {
        std::thread([shared = shared_, window, heartbeat, mouseMoveEnds] {
            DWORD lastInput = LastInput();
            WatchdogJudge judge(mouseMoveEnds, lastInput, Pointer());
            for (;;) {
                Sleep(kHeartbeatMilliseconds);
                PostMessageW(window, heartbeat, 0, 0);
                const DWORD input = LastInput();
                // The keyboard is only looked at when there was input at all.
                const bool keyDown = input != lastInput && AnyKeyOrButtonDown();
                lastInput = input;
                if (judge.Look(GetTickCount(), shared->lastAnswer, input, Pointer(), keyDown)) {
                    platform::DebugLine(L"the window thread does not answer and the user gave input: ending");
                    TerminateProcess(GetCurrentProcess(), 0);
                }
            }
        }).detach();
    } catch (...) {
        platform::DebugLine(L"no watchdog thread could be started");
    }
}

void Watchdog::Answered() { shared_->lastAnswer = GetTickCount(); }

} // namespace input
