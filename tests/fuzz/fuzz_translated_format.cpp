// Fuzzes the formatting of translated format strings: a translation is data
// from the language table, so any text must format without reading past the
// arguments, and a translation whose conversions differ from the key's must
// never be used.
#include "localization/translated_format.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<FormatArgument> arguments;
    const int count = input.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < count; ++i) {
        switch (input.ConsumeIntegralInRange(0, 2)) {
        case 0:
            arguments.emplace_back(input.ConsumeIntegral<long long>());
            break;
        case 1:
            arguments.emplace_back(input.ConsumeFloatingPoint<double>());
            break;
        default:
            arguments.emplace_back(fuzz::ConsumeWide(input, 64));
            break;
        }
    }
    const std::wstring key = fuzz::ConsumeWide(input, 64);
    const std::wstring translation = fuzz::RemainingWide(input);

    FormatConversions(translation);
    const std::wstring text = FormatText(translation, arguments);
    const std::wstring chosen = FormatTranslation(key, translation, arguments);
    if (FormatConversions(translation) != FormatConversions(key))
        FUZZ_CHECK(chosen == FormatText(key, arguments), "a translation with other conversions is not used",
                   fuzz::Printable(FormatText(key, arguments)), fuzz::Printable(chosen));
    else
        FUZZ_CHECK(chosen == text, "a translation with the key's conversions is used", fuzz::Printable(text),
                   fuzz::Printable(chosen));
    return 0;
}
