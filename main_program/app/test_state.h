// The test seam: when the environment variable SORVANE_TEST_STATE names a
// shared-memory block, the program publishes its state there, cheaply enough
// to do it every frame, and the end-to-end driver reads it. The layout is
// fixed; new fields are appended at the end of TestState (and `size` tells a
// reader how much the program wrote).
#pragma once

#include <cstdint>

namespace main_program {

constexpr char kTestStateVariable[] = "SORVANE_TEST_STATE";
constexpr std::uint32_t kTestStateMagic = 0x53545354; // "TSTS"
constexpr std::uint32_t kMaxTestWindows = 16;

enum class TestMode : std::uint32_t { None = 0, Screensaver = 1, Wallpaper = 2 };
enum class TestWindowRole : std::uint32_t { Scene = 0, Black = 1 };
enum class TestDeviceKind : std::uint32_t { None = 0, Direct3D9 = 1, Direct3D9Ex = 2 };

struct TestWindowState {
    std::int32_t left, top, right, bottom; // the window's area on the virtual screen
    std::uint32_t role;                    // TestWindowRole
    std::uint32_t bufferWidth, bufferHeight;
    std::int32_t adapter;       // the Direct3D adapter of its device; -1: none
    std::uint32_t deviceKind;   // TestDeviceKind
    std::uint32_t samples;      // multisample count of its back buffer (0: none)
    std::uint64_t frames;       // frames presented in it
    std::uint32_t black;        // 1: it shows black (no device, or given up)
    std::uint32_t paused;       // 1: not rendering now
    std::uint32_t recoveries;   // lost-device resets and new devices
    float pixelAspect;
};

struct TestState {
    std::uint32_t magic;
    std::uint32_t size;     // bytes of this structure the program knows
    // Even while no write is under way: a reader copies the block and checks
    // that the sequence was even and unchanged around the copy.
    std::uint32_t sequence;
    std::uint32_t processId;
    std::uint32_t mode;     // TestMode
    std::uint32_t layoutGeneration;
    std::uint32_t windowCount;
    std::int32_t canvasLeft, canvasTop, canvasRight, canvasBottom;
    std::uint64_t framesTotal;
    std::uint64_t firstSceneFrameTicks; // QueryPerformanceCounter when the first scene frame was presented
    double targetFrameRate;
    std::uint32_t detailGeometry; // scene::Detail
    std::uint32_t detailTextures;
    std::uint32_t displayOff;
    std::uint32_t onBattery;
    std::uint32_t hardwareMeasured; // 1: the hardware defaults were measured (a setting was missing)
    std::int32_t antialiasingSetting;
    std::int32_t showFps;
    std::int32_t fontScaling;
    std::int32_t disableOnMouseActivate;
    std::int32_t musicEnabled, musicVolume, soundsEnabled, soundsVolume;
    std::int32_t pointerOriginX, pointerOriginY;
    std::uint32_t sceneShown; // 1: the scene has shown (the input rules are armed)
    std::uint32_t mouseMoves; // mouse-move messages the windows have had
    std::int32_t lastMoveX, lastMoveY; // where the last one was, on the virtual screen
    std::uint32_t inputMessages; // key, button and wheel messages the windows have had
    std::uint32_t stalled;       // 1: the window thread stopped answering (SORVANE_TEST_STALL)
    // The process's processor time (all threads, microseconds) and when it
    // was taken (QueryPerformanceCounter), every half second.
    std::uint64_t cpuMicroseconds;
    std::uint64_t cpuSampledTicks;
    std::uint32_t sceneComplete; // 1: the world has generated all the detail asked for
    TestWindowState windows[kMaxTestWindows];
    // The wallpaper.
    std::uint32_t placement;     // desktop::Placement, 1 to 4
    std::uint32_t liveChanges;   // live-change messages received (any code)
    std::uint32_t settingsReads; // the product key read again after it changed
    std::uint32_t audioPaused;   // 1: every monitor paused, so the audio is too
    std::int32_t highQualityGraphics, highQualityTextures;
    std::int32_t multiMonitor, curMonitor;
    // The audio (audio::AudioStatus), from its start.
    std::uint32_t audioStarted;      // 1: the audio engine runs
    std::uint32_t audioDevice;       // 1: it holds the output device
    std::uint32_t audioMusic;        // AudioStatus::Music
    std::uint32_t audioSampleRate;
    std::uint64_t audioFramesPlayed;
    std::uint32_t audioEntriesStarted, audioEntriesSkipped, audioEffects;
    float audioMusicGain, audioSoundsGain; // as mixed now
};

} // namespace main_program
