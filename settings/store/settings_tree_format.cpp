// Formatting and parsing of settings entries in their registry text form.
#include "settings/store/settings_tree_format.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// The ASCII characters of the payload after leading white space, up to the
// first character that cannot be part of a number.
std::string NumberCharacters(const std::wstring& payload) {
    std::size_t at = 0;
    while (at < payload.size() && IsSpace(payload[at]))
        ++at;
    std::string ascii;
    for (; at < payload.size(); ++at) {
        const wchar_t c = payload[at];
        if (c < 0x21 || c > 0x7E) break;
        ascii += static_cast<char>(c);
    }
    return ascii;
}

} // namespace

std::wstring FormatFloatEntry(float value) {
    const double number = value;
    const int length = std::snprintf(nullptr, 0, "%f", number);
    if (length <= 0) return L"1: ";
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::snprintf(buffer.data(), buffer.size(), "%f", number);
    return L"1: " + Widen(std::string(buffer.data(), static_cast<std::size_t>(length)));
}

std::wstring FormatIntEntry(std::int32_t value) { return L"2: " + Widen(std::to_string(value)); }

std::wstring FormatTextEntry(const std::wstring& text) { return L"3: " + text; }

std::optional<float> ParseFloatPayload(const std::wstring& payload) {
    std::string ascii = NumberCharacters(payload);
    std::size_t start = 0;
    bool negative = false;
    if (!ascii.empty() && (ascii[0] == '+' || ascii[0] == '-')) {
        negative = ascii[0] == '-';
        start = 1;
    }
    // from_chars takes no '+' and reads "-" itself; keep the sign apart so
    // that "+-1" is no number, as for scanf.
    if (start < ascii.size() && (ascii[start] == '+' || ascii[start] == '-')) return std::nullopt;
    float value = 0;
    const char* first = ascii.data() + start;
    const auto result = std::from_chars(first, ascii.data() + ascii.size(), value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr == first) return std::nullopt;
    return negative ? -value : value;
}

std::optional<std::int32_t> ParseIntPayload(const std::wstring& payload) {
    const std::string ascii = NumberCharacters(payload);
    std::size_t at = 0;
    bool negative = false;
    if (at < ascii.size() && (ascii[at] == '+' || ascii[at] == '-')) negative = ascii[at++] == '-';
    int base = 10;
    if (at < ascii.size() && ascii[at] == '0') {
        const bool hexPrefix = at + 1 < ascii.size() && (ascii[at + 1] == 'x' || ascii[at + 1] == 'X');
        if (hexPrefix && at + 2 < ascii.size() && std::isxdigit(static_cast<unsigned char>(ascii[at + 2]))) {
            base = 16;
            at += 2;
        } else {
            base = 8; // "0x" with no hex digit after it reads as the 0 alone
        }
    }
    const char* first = ascii.data() + at;
    const char* last = ascii.data() + ascii.size();
    unsigned long long magnitude = 0;
    const auto result = std::from_chars(first, last, magnitude, base);
    if (result.ptr == first) return std::nullopt;
    constexpr auto kMax = static_cast<unsigned long long>(std::numeric_limits<std::int32_t>::max());
    if (result.ec == std::errc::result_out_of_range || magnitude > kMax + (negative ? 1 : 0))
        return negative ? std::numeric_limits<std::int32_t>::min() : std::numeric_limits<std::int32_t>::max();
    const long long signedValue = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    return static_cast<std::int32_t>(signedValue);
}

std::optional<RegistryEntryText> SplitRegistryEntry(const std::wstring& data) {
    if (data.size() < 3 || data[1] != L':' || data[2] != L' ') return std::nullopt;
    if (data[0] != L'1' && data[0] != L'2' && data[0] != L'3') return std::nullopt;
    const std::size_t tab = data.find(L'\t', 3);
    return RegistryEntryText{data[0] - L'0', data.substr(3, tab == std::wstring::npos ? std::wstring::npos : tab - 3)};
}
