// Fuzzes the registry text of one settings entry: splitting value data into
// type and payload, reading numbers from payloads, and the round trip of the
// numbers the program writes.
#include "settings/store/settings_tree_format.h"
#include "tests/fuzz/fuzz_support.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

void CheckSplit(const std::wstring& data) {
    const auto entry = SplitRegistryEntry(data);
    if (!entry) return;
    const auto got = [&] {
        return "kind " + std::to_string(entry->kind) + " payload " + fuzz::Printable(entry->payload);
    };
    FUZZ_CHECK(entry->kind >= 1 && entry->kind <= 3, "the kind is 1, 2 or 3", "1..3", got());
    FUZZ_CHECK(entry->kind == data[0] - L'0', "the kind is the first digit", fuzz::Printable(data), got());
    FUZZ_CHECK(entry->payload.find(L'\t') == std::wstring::npos, "the payload ends before a tab", "no tab", got());
    FUZZ_CHECK(data.compare(3, entry->payload.size(), entry->payload) == 0, "the payload follows \": \"",
               fuzz::Printable(data), got());
}

void CheckNumbers(const std::wstring& payload) {
    ParseFloatPayload(payload);
    const auto number = ParseIntPayload(payload);
    if (!number) return;
    // A number read back is written the way the program writes it and must
    // then read as the same number.
    const std::wstring written = FormatIntEntry(*number);
    const auto split = SplitRegistryEntry(written);
    FUZZ_CHECK(split && split->kind == 2, "an integer entry splits as kind 2", "kind 2", fuzz::Printable(written));
    const auto reread = ParseIntPayload(split->payload);
    FUZZ_CHECK(reread && *reread == *number, "an integer survives its round trip", std::to_string(*number),
               reread ? std::to_string(*reread) : "nothing");
}

void CheckFloatRoundTrip(float value) {
    if (!std::isfinite(value)) return;
    const std::wstring written = FormatFloatEntry(value);
    const auto split = SplitRegistryEntry(written);
    FUZZ_CHECK(split && split->kind == 1, "a float entry splits as kind 1", "kind 1", fuzz::Printable(written));
    const auto reread = ParseFloatPayload(split->payload);
    FUZZ_CHECK(reread.has_value(), "a written float reads back", fuzz::Printable(written), "nothing");
    // Six decimals: the value read back is within half a millionth, or within
    // a float's own step for large values.
    const double tolerance = 5e-7 + std::fabs(static_cast<double>(value)) * 1e-7;
    FUZZ_CHECK(std::fabs(static_cast<double>(*reread) - value) <= tolerance, "a float survives its round trip",
               fuzz::Printable(written), std::to_string(*reread));
    // Written a second time, the text no longer changes.
    FUZZ_CHECK(FormatFloatEntry(*reread) == written, "a float read back is written the same", fuzz::Printable(written),
               fuzz::Printable(FormatFloatEntry(*reread)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    float value = 0;
    const auto bits = input.ConsumeIntegral<std::uint32_t>();
    std::memcpy(&value, &bits, sizeof value);
    CheckFloatRoundTrip(value);

    const std::wstring text = fuzz::RemainingWide(input);
    CheckSplit(text);
    CheckNumbers(text);
    if (const auto entry = SplitRegistryEntry(text)) CheckNumbers(entry->payload);
    return 0;
}
