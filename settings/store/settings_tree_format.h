// The registry text of one settings entry: a type digit, ": ", the payload.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// "1: " and the number with "%f" (fixed, 6 decimals).
std::wstring FormatFloatEntry(float value);
// "2: " and the number in signed decimal.
std::wstring FormatIntEntry(std::int32_t value);
// "3: " and the text, whole however long it is.
std::wstring FormatTextEntry(const std::wstring& text);

// The number at the start of a payload, read as "%f" reads it: leading white
// space skipped, then the longest prefix that is a number. Nothing when no
// number starts there or it is beyond a float's range.
std::optional<float> ParseFloatPayload(const std::wstring& payload);
// The integer at the start of a payload, read as "%i" reads it: white space,
// an optional sign, then hexadecimal after "0x"/"0X", octal after a leading
// "0", decimal otherwise. Values beyond 32 bits are clamped. Nothing when no
// digit starts there.
std::optional<std::int32_t> ParseIntPayload(const std::wstring& payload);

struct RegistryEntryText {
    int kind; // 1 float, 2 integer, 3 text
    std::wstring payload;
};
// Splits value data into its type digit and payload (up to the first tab);
// nothing for data of any other form.
std::optional<RegistryEntryText> SplitRegistryEntry(const std::wstring& data);
