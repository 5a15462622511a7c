// The CurMonitor text and the adapter it selects.
#include "hardware/adapter_choice.h"

#include "platform/registry_access.h"

#include <limits>

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

} // namespace

std::int32_t ParseCurMonitorNumber(const std::wstring& text) {
    if (text.size() < 2) return 0;
    std::size_t at = 2;
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';

    // Accumulated in 64 bits and held at the 32-bit limits, so that a long run
    // of digits cannot wrap round to a small, valid-looking adapter number.
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        magnitude = magnitude * 10 + (text[at] - L'0');
        if (magnitude > limit) magnitude = limit;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

std::uint32_t ChooseAdapterOrdinal(std::int32_t number, std::uint32_t adapterCount) {
    const auto ordinal = static_cast<std::uint32_t>(number);
    return ordinal > adapterCount - 1u ? 0u : ordinal;
}

std::uint32_t AdapterFromCurMonitor(std::uint32_t adapterCount) {
    std::wstring text;
    ReadRegistryString(HKEY_LOCAL_MACHINE, kProductKey, L"CurMonitor", text, true); // text stays empty on failure
    return ChooseAdapterOrdinal(ParseCurMonitorNumber(text), adapterCount);
}
