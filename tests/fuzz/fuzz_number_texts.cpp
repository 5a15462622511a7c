// Fuzzes the two numbers the program reads back from registry text: the
// CurMonitor number that chooses the adapter, and the SessionCount that each
// analytics session advances.
#include "analytics/session_facts.h"
#include "hardware/adapter_choice.h"
#include "platform/registry_memory.h"
#include "platform/registry_access.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>
#include <string>

namespace {

// The stored count's value when it is all digits and below the largest
// 32-bit value; -1 otherwise.
long long CountBelowLimit(const std::wstring& text) {
    if (text.empty()) return -1;
    long long value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return -1;
        value = value * 10 + (c - L'0');
        if (value >= INT32_MAX) value = INT32_MAX; // held at the limit, so a long text cannot overflow
    }
    return value < INT32_MAX ? value : -1;
}

void CheckCurMonitor(const std::wstring& text, std::uint32_t adapters) {
    const std::int32_t number = ParseCurMonitorNumber(text);
    const std::uint32_t ordinal = ChooseAdapterOrdinal(number, adapters);
    const auto got = [&] {
        return "ordinal " + std::to_string(ordinal) + " of " + std::to_string(adapters) + " for " +
               fuzz::Printable(text);
    };
    if (adapters > 0) FUZZ_CHECK(ordinal < adapters, "the chosen adapter exists", "below the adapter count", got());
    if (number >= 0 && static_cast<std::uint32_t>(number) < adapters)
        FUZZ_CHECK(ordinal == static_cast<std::uint32_t>(number), "a valid number is the adapter",
                   std::to_string(number), got());
    // A text with no digit where the number belongs names adapter 0.
    std::size_t at = 2;
    while (at < text.size() && (text[at] == L' ' || (text[at] >= L'\t' && text[at] <= L'\r')))
        ++at;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) ++at;
    if (text.size() < 2 || at >= text.size() || text[at] < L'0' || text[at] > L'9')
        FUZZ_CHECK(number == 0, "no digits read as 0", "0", std::to_string(number) + " for " + fuzz::Printable(text));
}

void CheckSessionCount(const std::wstring& stored, bool terminated) {
    platform::MemoryRegistry registry;
    platform::ScopedRegistry scope(registry);
    registry.PutText(HKEY_LOCAL_MACHINE, kMakerKey, L"SessionCount", stored, REG_SZ, terminated);
    std::wstring read;
    const bool readable = ReadRegistryString(HKEY_LOCAL_MACHINE, kMakerKey, L"SessionCount", read, true) == S_OK;

    const std::int32_t count = NextSessionCount();
    const auto got = [&] { return std::to_string(count) + " after " + fuzz::Printable(stored); };
    FUZZ_CHECK(count >= 1, "a session count is positive", ">= 1", got());
    const long long previous = readable ? CountBelowLimit(read) : -1;
    const long long expected = previous >= 0 ? previous + 1 : 1;
    FUZZ_CHECK(count == expected, "the count advances by one or starts again at 1", std::to_string(expected), got());
    std::wstring written;
    ReadRegistryString(HKEY_LOCAL_MACHINE, kMakerKey, L"SessionCount", written, true);
    FUZZ_CHECK(written == std::to_wstring(count), "the new count is stored", std::to_string(count),
               fuzz::Printable(written));
    FUZZ_CHECK(registry.OpenHandles() == 0, "no key stays open", "0", std::to_string(registry.OpenHandles()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto adapters = input.ConsumeIntegralInRange<std::uint32_t>(0, 16);
    const bool terminated = input.ConsumeBool();
    const std::wstring text = fuzz::RemainingWide(input);
    CheckCurMonitor(text, adapters);
    CheckSessionCount(text, terminated);
    return 0;
}
