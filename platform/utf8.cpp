// The strict UTF-8 reading that every build shares, and the conversions for
// builds without the Windows code page functions (wide texts there hold one
// code point per character).
#include "platform/utf8.h"

#include <cstddef>

bool StrictUtf8ToWide(const std::string& bytes, std::wstring& text) {
    text.clear();
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length;
        char32_t point;
        char32_t smallest;
        if (lead < 0x80) {
            length = 1, point = lead, smallest = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, point = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, point = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, point = lead & 0x07, smallest = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            point = (point << 6) | (next & 0x3F);
        }
        if (point < smallest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return false;
        if (sizeof(wchar_t) == 2 && point >= 0x10000) {
            point -= 0x10000;
            text.push_back(static_cast<wchar_t>(0xD800 + (point >> 10)));
            text.push_back(static_cast<wchar_t>(0xDC00 + (point & 0x3FF)));
        } else {
            text.push_back(static_cast<wchar_t>(point));
        }
        i += length;
    }
    return true;
}

#ifndef _WIN32

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes the sequence at `at`, advancing past it; an invalid sequence yields
// U+FFFD and advances by the bytes that could belong to it.
char32_t DecodeOne(const std::string& text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) return lead;
    std::size_t extra;
    char32_t code;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, code = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, code = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, code = lead & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    for (std::size_t i = 0; i < extra; ++i) {
        if (at >= text.size() || !IsContinuation(static_cast<unsigned char>(text[at]))) return kReplacement;
        code = (code << 6) | (static_cast<unsigned char>(text[at++]) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return kReplacement;
    return code;
}

void Append(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

std::wstring Utf8ToWide(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (std::size_t at = 0; at < text.size();)
        wide += static_cast<wchar_t>(DecodeOne(text, at));
    return wide;
}

std::string WideToUtf8(const std::wstring& text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) {
        const auto code = static_cast<char32_t>(static_cast<std::uint32_t>(c));
        const bool valid = code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        Append(narrow, valid ? code : kReplacement);
    }
    return narrow;
}
#endif
