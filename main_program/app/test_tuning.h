// Test-only tuning through SORVANE_TEST_* environment variables, read once at
// start: a small render size and a low frame rate for tests that render, a
// lost device on cue, and a window thread that stops answering on cue.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace main_program {

struct TestTuning {
    std::uint32_t maxRenderSide = 0; // SORVANE_TEST_MAX_RENDER: the back buffers' longest side at most this
    double frameRateCap = 0;         // SORVANE_TEST_FPS: the frame rate at most this
    std::uint64_t loseDeviceAtFrame = 0; // SORVANE_TEST_LOSE_DEVICE: every device reports itself lost once, at this frame
    std::uint64_t stallAtFrame = 0;  // SORVANE_TEST_STALL: the window thread stops answering at this frame
    bool plainDirect3D9 = false;     // SORVANE_TEST_PLAIN_D3D9=1: Direct3D 9 without 9Ex
};

// From a lookup of environment variables (empty: not set). Values that are
// not positive whole numbers are ignored.
TestTuning ParseTestTuning(const std::function<std::string(const char*)>& variable);

#ifdef _WIN32
TestTuning ReadTestTuning();
#endif

} // namespace main_program
