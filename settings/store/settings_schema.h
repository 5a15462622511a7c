// The settings of the product's main program: their names, their defaults
// (three of them computed from the hardware), their reading from the product
// key, and the start-up entry of the animated wallpaper. Both the settings
// dialog and the main program read them through this.
#pragma once

#include "platform/win_types.h"
#include "settings/store/settings_tree.h"

#include <cstdint>
#include <string>

// The value names. Every setting is an Int entry of the settings tree,
// stored as "2: <n>".
namespace setting {
constexpr const wchar_t* kHighQualityTextures = L"HighQualityTextures";
constexpr const wchar_t* kEnableMultiMonitorMode = L"EnableMultiMonitorMode";
constexpr const wchar_t* kShowBlackScreens = L"ShowBlackScreens";
constexpr const wchar_t* kShowFPS = L"ShowFPS";
constexpr const wchar_t* kDisableOnMouseActivate = L"DisableOnMouseActivate";
constexpr const wchar_t* kMusicVolumePercentage = L"MusicVolumePercentage";
constexpr const wchar_t* kDisableMusic = L"DisableMusic";
constexpr const wchar_t* kSoundsVolumePercentage = L"SoundsVolumePercentage";
constexpr const wchar_t* kDisableSound = L"DisableSound";
constexpr const wchar_t* kMonitorAspectRatio = L"MonitorAspectRatio";
constexpr const wchar_t* kUseDesktopRes = L"UseDesktopRes";
constexpr const wchar_t* kUsePlaylist = L"UsePlaylist";
constexpr const wchar_t* kHighQualityGraphics = L"HighQualityGraphics";
constexpr const wchar_t* kFontScaling = L"FontScaling";
constexpr const wchar_t* kAntialiasing = L"Antialiasing";
constexpr const wchar_t* kShufflePlayList = L"ShufflePlayList";
// No default: absent until the user picks a monitor, and then read as 0.
constexpr const wchar_t* kCurMonitor = L"CurMonitor";
} // namespace setting

// The start-up entry that runs the main program as the animated wallpaper.
constexpr const wchar_t* kStartupValueName = L"QuenvaleAnimatedWallpaper";

// The three hardware-dependent defaults. Every comparison is between unsigned
// 32-bit numbers, strict except the 2500 MiB of antialiasing.
//   textures:     MiB > 400 and height > 1000
//   graphics:     MHz > 2000 and MiB > 400
//   antialiasing: MHz > 3000 and MiB >= 2500
bool HighQualityTexturesByDefault(std::uint32_t videoMemoryMiB, std::uint32_t screenHeight);
bool HighQualityGraphicsByDefault(std::uint32_t videoMemoryMiB, std::uint32_t clockMhz);
bool AntialiasingByDefault(std::uint32_t videoMemoryMiB, std::uint32_t clockMhz);

// Whole MiB of a byte count (truncating).
constexpr std::uint32_t VideoMemoryMiB(std::uint32_t bytes) { return bytes >> 20; }

// What the defaults are computed from.
struct HardwareFacts {
    std::uint32_t videoMemoryBytes = 0; // 0: unknown
    std::int32_t clockMhz = 0;          // 0: unknown
    std::int32_t screenHeight = 0;      // full-screen client height, pixels
};

// Measures the three facts anew through the hardware probe in use; all
// unknown when it cannot measure.
HardwareFacts MeasureHardware();

// Sets the 16 settings that have a default, overwriting what the tree holds
// under those names; entries under other names (CurMonitor among them) stay.
void SetDefaults(Node& tree, const HardwareFacts& facts);
// The same with the hardware measured now (about 50 ms of clock measurement,
// up to 5 s of WMI on a slow system).
void SetDefaults(Node& tree);

// The product key on top of what the tree holds (the defaults, when the
// settings dialog loads). True when the key could be read; when it cannot,
// the tree stays as it was.
bool ReadSettings(Node& tree);

// Whether the defaults that depend on the hardware can show: true unless the
// product key can be read and holds a value in the tree's text form (or a
// sub-key) for each of them, which then replaces whatever the default was.
bool HardwareDefaultsMatter();

// The command that starts the main program as the animated wallpaper:
// "<folder>\Sorvane 3D Screensaver.exe" /w, the folder being AppPath of the
// product key or else the installer's InstallLocation (the 64-bit view's, then
// the 32-bit view's), exactly as stored. Empty when none holds a text.
std::wstring StartupCommand();

// The start-up entry's text; empty when it is missing, empty or not REG_SZ.
std::wstring ReadStartupEntry();

// Whether the start-up entry is the current start-up command (same UTF-16
// code units; two empty texts are equal): the state of "Run at Windows startup".
bool IsStartupEntryCurrent();

// Writes the start-up entry: the start-up command when `enabled`, else the
// empty text (the value stays). Callers need not check the result.
HRESULT WriteStartupEntry(bool enabled);
