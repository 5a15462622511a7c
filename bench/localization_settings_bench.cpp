// Prints the cost of translating a text over the shipped language table and
// of reading and writing a product key of 16 settings.
#include "localization/language_table.h"
#include "settings/store/settings_tree.h"

#include "resource_ids.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const wchar_t* kBenchKey = L"Software\\SorvaneBench\\Sorvane 3D Screensaver";

// Runs `operation` `count` times and prints the mean time per run.
template <typename Operation> void Measure(const char* what, int count, Operation operation) {
    operation(); // warm up
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        operation();
    const std::chrono::duration<double, std::micro> elapsed = Clock::now() - start;
    std::printf("%-58s %10.3f us  (%d runs)\n", what, elapsed.count() / count, count);
}

bool LoadTable() {
#ifdef _WIN32
    LanguageTable& table = LanguageTable::Create(L"", IDR_LANGUAGE_TABLE);
#else
    std::ifstream file(SORVANE_SOURCE_DIR "/localization/language_table.xml", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    LanguageTable& table = LanguageTable::CreateFromResourceBytes(bytes.data(), bytes.size());
#endif
    return table.LanguageCount() == 4 && table.SetTextBlock(L"Screensaver Settings Dialog") && table.SetLanguage(L"fr");
}

const wchar_t* const kSettingNames[16] = {
    L"Antialiasing", L"CurMonitor",        L"DisableMusic",          L"DisableOnMouseActivate",
    L"DisableSound", L"HighQuality",       L"MusicVolumePercentage", L"PlaylistIndex",
    L"ShowFPS",      L"ShufflePlayList",   L"SoundVolumePercentage", L"TextureQuality",
    L"UsePlaylist",  L"BlankOtherScreens", L"RunAtStartup",          L"ShadowQuality",
};

} // namespace

int main() {
    if (!LoadTable()) {
        std::printf("the language table could not be loaded\n");
        return 1;
    }
    std::size_t total = 0;
    Measure("Translate, first entry (\"OK\")", 200000, [&] { total += Translate(L"OK").size(); });
    Measure("Translate, last required entry (\"Restore Defaults\")", 200000,
            [&] { total += Translate(L"Restore Defaults").size(); });
    Measure("Translate, unknown key (whole block scanned)", 200000,
            [&] { total += Translate(L"Multi-monitor").size(); });

    Node settings;
    for (int i = 0; i < 16; ++i)
        settings.Get(kSettingNames[i]) = i * 7;
    if (!settings.WriteToRegistry(HKEY_LOCAL_MACHINE, kBenchKey)) {
        std::printf("the settings could not be written\n");
        return 1;
    }
    Measure("WriteToRegistry, 16 Int settings", 500,
            [&] { total += settings.WriteToRegistry(HKEY_LOCAL_MACHINE, kBenchKey) ? 1 : 0; });
    Measure("ReadFromRegistry, 16 Int settings", 500, [&] {
        Node read;
        total += read.ReadFromRegistry(HKEY_LOCAL_MACHINE, kBenchKey) ? read.GetEntries().size() : 0;
    });
    std::printf("(checksum %zu)\n", total);
    return 0;
}
