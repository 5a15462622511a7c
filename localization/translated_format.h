// Formatting of translated format strings: a translation is data, so it is
// used only when its conversions are exactly those of the English key.
#pragma once

#include <string>
#include <vector>

// One argument of a formatted text: an integer, a number or a text.
class FormatArgument {
  public:
    enum class Type { Integer, Number, Text };

    FormatArgument(int value) : type_(Type::Integer), integer_(value) {}
    FormatArgument(long value) : type_(Type::Integer), integer_(value) {}
    FormatArgument(long long value) : type_(Type::Integer), integer_(value) {}
    FormatArgument(unsigned value) : type_(Type::Integer), integer_(value) {}
    FormatArgument(unsigned long value) : type_(Type::Integer), integer_(static_cast<long long>(value)) {}
    FormatArgument(unsigned long long value) : type_(Type::Integer), integer_(static_cast<long long>(value)) {}
    FormatArgument(double value) : type_(Type::Number), number_(value) {}
    FormatArgument(const wchar_t* text) : type_(Type::Text), text_(text ? text : L"") {}
    FormatArgument(const std::wstring& text) : type_(Type::Text), text_(text) {}

    Type GetType() const { return type_; }
    long long Integer() const { return integer_; }
    double Number() const { return number_; }
    const std::wstring& Text() const { return text_; }

  private:
    Type type_;
    long long integer_ = 0;
    double number_ = 0;
    std::wstring text_;
};

// The conversions of a format string ("%.01i", "%s", ...) in order; "%%" is
// no conversion. A '%' that starts no supported conversion counts as one
// that no argument can fill, so such a format never matches a sound one.
std::vector<std::wstring> FormatConversions(const std::wstring& format);

// Formats `format` with `arguments` in the manner of printf for the
// conversions d i u o x X, f F e E g G, s (a wide text) and %%. A conversion
// without an argument of a fitting type is written as it stands; extra
// arguments are ignored. Nothing is ever read beyond the arguments given.
std::wstring FormatText(const std::wstring& format, const std::vector<FormatArgument>& arguments);

// Formats `translation` when its conversions are exactly the key's, else the
// key itself.
std::wstring FormatTranslation(const std::wstring& key, const std::wstring& translation,
                               const std::vector<FormatArgument>& arguments);

// The translation of `key` in the current language, formatted safely.
std::wstring TranslateAndFormat(const std::wstring& key, const std::vector<FormatArgument>& arguments);

template <typename... Arguments> std::wstring FormatTranslated(const std::wstring& key, const Arguments&... arguments) {
    return TranslateAndFormat(key, {FormatArgument(arguments)...});
}
