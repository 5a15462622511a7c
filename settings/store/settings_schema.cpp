// The settings' defaults, their reading and the start-up entry.
#include "settings/store/settings_schema.h"

#include "hardware/hardware_probe.h"
#include "platform/registry_access.h"

#include <algorithm>
#include <iterator>

namespace {

enum class Rule { Constant, Textures, Graphics, Antialiasing };

struct Default {
    const wchar_t* name;
    Rule rule;
    std::int32_t value; // for Rule::Constant
};

// In the order in which they are set.
constexpr Default kDefaults[] = {
    {setting::kHighQualityTextures, Rule::Textures, 0},    {setting::kEnableMultiMonitorMode, Rule::Constant, 1},
    {setting::kShowBlackScreens, Rule::Constant, 1},       {setting::kShowFPS, Rule::Constant, 0},
    {setting::kDisableOnMouseActivate, Rule::Constant, 1}, {setting::kMusicVolumePercentage, Rule::Constant, 15},
    {setting::kDisableMusic, Rule::Constant, 0},           {setting::kSoundsVolumePercentage, Rule::Constant, 100},
    {setting::kDisableSound, Rule::Constant, 0},           {setting::kMonitorAspectRatio, Rule::Constant, 4},
    {setting::kUseDesktopRes, Rule::Constant, 1},          {setting::kUsePlaylist, Rule::Constant, 0},
    {setting::kHighQualityGraphics, Rule::Graphics, 0},    {setting::kFontScaling, Rule::Constant, 50},
    {setting::kAntialiasing, Rule::Antialiasing, 0},       {setting::kShufflePlayList, Rule::Constant, 1},
};

constexpr const wchar_t* kMainProgramFile = L"Sorvane 3D Screensaver.exe";

} // namespace

bool HighQualityTexturesByDefault(std::uint32_t videoMemoryMiB, std::uint32_t screenHeight) {
    return videoMemoryMiB > 400u && screenHeight > 1000u;
}

bool HighQualityGraphicsByDefault(std::uint32_t videoMemoryMiB, std::uint32_t clockMhz) {
    return clockMhz > 2000u && videoMemoryMiB > 400u;
}

bool AntialiasingByDefault(std::uint32_t videoMemoryMiB, std::uint32_t clockMhz) {
    return clockMhz > 3000u && videoMemoryMiB >= 2500u;
}

HardwareFacts MeasureHardware() {
    HardwareProbe& hardware = Hardware();
    HardwareFacts facts;
    if (!hardware.CanMeasure()) return facts;
    facts.videoMemoryBytes = hardware.VideoMemoryBytes();
    facts.clockMhz = hardware.ProcessorClockMhz();
    facts.screenHeight = hardware.FullScreenHeight();
    return facts;
}

void SetDefaults(Node& tree, const HardwareFacts& facts) {
    const std::uint32_t mib = VideoMemoryMiB(facts.videoMemoryBytes);
    const auto mhz = static_cast<std::uint32_t>(facts.clockMhz);
    const auto height = static_cast<std::uint32_t>(facts.screenHeight);
    for (const Default& setting : kDefaults) {
        bool on = false;
        switch (setting.rule) {
        case Rule::Constant:
            tree.Get(setting.name) = setting.value;
            continue;
        case Rule::Textures:
            on = HighQualityTexturesByDefault(mib, height);
            break;
        case Rule::Graphics:
            on = HighQualityGraphicsByDefault(mib, mhz);
            break;
        case Rule::Antialiasing:
            on = AntialiasingByDefault(mib, mhz);
            break;
        }
        tree.Get(setting.name) = std::int32_t{on ? 1 : 0};
    }
}

void SetDefaults(Node& tree) { SetDefaults(tree, MeasureHardware()); }

bool ReadSettings(Node& tree) { return tree.ReadFromRegistry(HKEY_LOCAL_MACHINE, kProductKey); }

bool HardwareDefaultsMatter() {
    Node stored;
    if (!ReadSettings(stored)) return true;
    const auto& entries = stored.GetEntries();
    return std::any_of(std::begin(kDefaults), std::end(kDefaults), [&](const Default& setting) {
        return setting.rule != Rule::Constant && entries.find(setting.name) == entries.end();
    });
}

std::wstring StartupCommand() {
    // A failed read leaves the text as it was, empty.
    std::wstring folder;
    ReadRegistryString(HKEY_LOCAL_MACHINE, kProductKey, L"AppPath", folder, true);
    if (folder.empty()) ReadRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", folder, true);
    // The installer is a 32-bit program: on 64-bit Windows its entry is in
    // the 32-bit view, where the launcher finds the product too.
    if (folder.empty()) ReadRegistryString32BitView(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", folder);
    if (folder.empty()) return {};
    return L"\"" + folder + L"\\" + kMainProgramFile + L"\" /w";
}

std::wstring ReadStartupEntry() {
    std::wstring entry;
    ReadRegistryString(HKEY_CURRENT_USER, kRunKey, kStartupValueName, entry, true);
    return entry;
}

bool IsStartupEntryCurrent() { return ReadStartupEntry() == StartupCommand(); }

HRESULT WriteStartupEntry(bool enabled) {
    return WriteRegistryString(HKEY_CURRENT_USER, kRunKey, kStartupValueName,
                               enabled ? StartupCommand() : std::wstring(), true);
}
