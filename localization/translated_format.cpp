// Safe formatting of translated format strings.
#include "localization/translated_format.h"

#include "localization/language_table.h"

#include <cstdio>
#include <cwchar>

namespace {

// One parsed conversion: where it starts and ends in the format, and its parts.
struct Conversion {
    std::size_t end = 0; // one past the conversion letter
    bool valid = false;
    std::string flags;
    int width = -1;
    int precision = -1;
    wchar_t letter = 0;
};

constexpr int kMaxField = 512; // widths and precisions beyond this are not supported

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Reads the conversion whose '%' is at `at`.
Conversion ParseConversion(const std::wstring& format, std::size_t at) {
    Conversion conversion;
    std::size_t i = at + 1;
    while (i < format.size() && std::wcschr(L"-+ #0", format[i]) && format[i] != L'\0')
        conversion.flags += static_cast<char>(format[i++]);
    auto number = [&](int& field) {
        if (i >= format.size() || !IsDigit(format[i])) return true;
        field = 0;
        while (i < format.size() && IsDigit(format[i])) {
            field = field * 10 + (format[i++] - L'0');
            if (field > kMaxField) return false;
        }
        return true;
    };
    bool sound = number(conversion.width);
    if (i < format.size() && format[i] == L'.') {
        ++i;
        conversion.precision = 0;
        sound = number(conversion.precision) && sound;
    }
    while (i < format.size() && std::wcschr(L"hlLqjzt", format[i]) && format[i] != L'\0')
        ++i;
    if (i < format.size()) {
        conversion.letter = format[i++];
        conversion.valid = sound && conversion.letter != L'\0' && std::wcschr(L"diuoxXfFeEgGs", conversion.letter);
    }
    conversion.end = i;
    return conversion;
}

std::wstring Widen(const char* text, int length) {
    std::wstring wide;
    for (int i = 0; i < length; ++i)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    return wide;
}

template <typename T> std::wstring PrintNumber(const Conversion& conversion, const char* lengthModifier, T value) {
    std::string pattern = "%" + conversion.flags;
    if (conversion.width >= 0) pattern += std::to_string(conversion.width);
    if (conversion.precision >= 0) pattern += "." + std::to_string(conversion.precision);
    pattern += lengthModifier;
    pattern += static_cast<char>(conversion.letter);
    char buffer[2 * kMaxField + 400]; // room for the widest double in %f with the largest precision and width
    const int length = std::snprintf(buffer, sizeof buffer, pattern.c_str(), value);
    if (length < 0) return std::wstring();
    return Widen(buffer, length < static_cast<int>(sizeof buffer) ? length : static_cast<int>(sizeof buffer) - 1);
}

std::wstring PrintText(const Conversion& conversion, const std::wstring& text) {
    std::wstring shown = text;
    if (conversion.precision >= 0 && shown.size() > static_cast<std::size_t>(conversion.precision))
        shown.resize(static_cast<std::size_t>(conversion.precision));
    if (conversion.width > 0 && shown.size() < static_cast<std::size_t>(conversion.width)) {
        const std::wstring padding(static_cast<std::size_t>(conversion.width) - shown.size(), L' ');
        shown = conversion.flags.find('-') != std::string::npos ? shown + padding : padding + shown;
    }
    return shown;
}

// The argument formatted by the conversion, or nothing when its type does not fit.
bool Print(const Conversion& parsed, const FormatArgument& argument, std::wstring& out) {
    using Type = FormatArgument::Type;
    Conversion conversion = parsed;
    // '#' has a meaning only for octal, hexadecimal and floating point.
    if (std::wcschr(L"diu", conversion.letter)) {
        std::string kept;
        for (char flag : conversion.flags)
            if (flag != '#') kept += flag;
        conversion.flags = kept;
    }
    switch (conversion.letter) {
    case L'd':
    case L'i':
        if (argument.GetType() != Type::Integer) return false;
        out += PrintNumber(conversion, "ll", argument.Integer());
        return true;
    case L'u':
    case L'o':
    case L'x':
    case L'X':
        if (argument.GetType() != Type::Integer) return false;
        out += PrintNumber(conversion, "ll", static_cast<unsigned long long>(argument.Integer()));
        return true;
    case L's':
        if (argument.GetType() != Type::Text) return false;
        out += PrintText(conversion, argument.Text());
        return true;
    default:
        if (argument.GetType() == Type::Text) return false;
        out += PrintNumber(conversion, "",
                           argument.GetType() == Type::Number ? argument.Number()
                                                              : static_cast<double>(argument.Integer()));
        return true;
    }
}

} // namespace

std::vector<std::wstring> FormatConversions(const std::wstring& format) {
    std::vector<std::wstring> conversions;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%') continue;
        if (i + 1 < format.size() && format[i + 1] == L'%') {
            ++i;
            continue;
        }
        const Conversion conversion = ParseConversion(format, i);
        std::wstring text = format.substr(i, conversion.end - i);
        if (!conversion.valid) text.insert(0, L"!"); // matches no sound conversion
        conversions.push_back(text);
        i = conversion.end - 1;
    }
    return conversions;
}

std::wstring FormatText(const std::wstring& format, const std::vector<FormatArgument>& arguments) {
    std::wstring out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%') {
            out += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == L'%') {
            out += L'%';
            ++i;
            continue;
        }
        const Conversion conversion = ParseConversion(format, i);
        const bool printed = conversion.valid && next < arguments.size() && Print(conversion, arguments[next], out);
        if (conversion.valid && next < arguments.size()) ++next;
        if (!printed) out += format.substr(i, conversion.end - i);
        i = conversion.end - 1;
    }
    return out;
}

std::wstring FormatTranslation(const std::wstring& key, const std::wstring& translation,
                               const std::vector<FormatArgument>& arguments) {
    const bool matches = FormatConversions(translation) == FormatConversions(key);
    return FormatText(matches ? translation : key, arguments);
}

std::wstring TranslateAndFormat(const std::wstring& key, const std::vector<FormatArgument>& arguments) {
    return FormatTranslation(key, Translate(key), arguments);
}
