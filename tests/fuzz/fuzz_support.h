// What the fuzz targets share: turning fuzz bytes into UTF-16 text, and a
// check that reports what was expected and what came out before it stops
// the run, so that libFuzzer keeps the input that broke the rule.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// Every two bytes, little-endian, become one UTF-16 code unit; an odd last
// byte is a unit of its own.
inline std::wstring WideFromBytes(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        unsigned unit = static_cast<unsigned char>(bytes[i]);
        if (i + 1 < bytes.size()) unit |= static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
}

inline std::wstring ConsumeWide(FuzzedDataProvider& input, std::size_t maxUnits) {
    return WideFromBytes(input.ConsumeRandomLengthString(maxUnits * 2));
}

inline std::wstring RemainingWide(FuzzedDataProvider& input) {
    return WideFromBytes(input.ConsumeRemainingBytesAsString());
}

// The text with every unit outside printable ASCII written as \uXXXX.
inline std::string Printable(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != L'\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    return out;
}

inline std::string Printable(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    return out;
}

[[noreturn]] inline void Fail(const char* rule, const std::string& expected, const std::string& got) {
    std::fprintf(stderr, "fuzz check failed: %s\n  expected: %s\n  got:      %s\n", rule, expected.c_str(),
                 got.c_str());
    std::abort();
}

} // namespace fuzz

// Stops the run when `holds` is false. The texts that describe the failure
// are only built then: the checks run on every input.
#define FUZZ_CHECK(holds, rule, expected, got)                                                                         \
    do {                                                                                                               \
        if (!(holds)) ::fuzz::Fail(rule, expected, got);                                                               \
    } while (false)
