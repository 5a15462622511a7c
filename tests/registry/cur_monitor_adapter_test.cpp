// The adapter that the stored CurMonitor value selects, against both registries.
#include "hardware/adapter_choice.h"
#include "platform/registry_access.h"
#include "tests/registry/registry_fixture.h"

namespace {

class CurMonitorAdapterTest : public RegistryTest {};

TEST_F(CurMonitorAdapterTest, StoredMonitorChoosesItsAdapterWhenInRange) {
    const struct {
        const char* what;
        DWORD type;
        const wchar_t* text;
        bool terminated;
        std::uint32_t adapters;
        std::uint32_t ordinal;
    } cases[] = {
        {"second of two adapters", REG_SZ, L"2: 1", false, 2, 1},
        {"beyond the last of two", REG_SZ, L"2: 7", false, 2, 0},
        {"negative", REG_SZ, L"2: -1", false, 2, 0},
        {"too short", REG_SZ, L"2", false, 2, 0},
        {"not a number", REG_SZ, L"2: one", false, 2, 0},
        {"stored with a terminator", REG_SZ, L"2: 1", true, 2, 1},
        {"REG_EXPAND_SZ is not read", REG_EXPAND_SZ, L"2: 1", false, 2, 0},
    };
    for (const auto& c : cases) {
        SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"CurMonitor", c.text, c.type, c.terminated);
        EXPECT_EQ(AdapterFromCurMonitor(c.adapters), c.ordinal) << c.what;
    }
}

TEST_F(CurMonitorAdapterTest, MissingValueOrKeyChoosesAdapterZero) {
    EXPECT_EQ(AdapterFromCurMonitor(3), 0u) << "no product key";
    SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"MusicVolumePercentage", L"2: 40");
    EXPECT_EQ(AdapterFromCurMonitor(3), 0u) << "key without CurMonitor";
    Seed(HKEY_LOCAL_MACHINE, kProductKey, L"CurMonitor", REG_DWORD, {1, 0, 0, 0});
    EXPECT_EQ(AdapterFromCurMonitor(3), 0u) << "CurMonitor as REG_DWORD 1";
}

} // namespace
