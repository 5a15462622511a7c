// Screensaver command-line parsing.
#include "startup/command_line.h"

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

const wchar_t* SkipProgramName(const wchar_t* p) {
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p == L'"') ++p;
        return p;
    }
    while (*p && *p != L' ') ++p;
    if (*p == L' ') ++p;
    return p;
}

// Skips anything that is not a digit, then reads the digits as a number that
// stops growing at the largest signed 32-bit value.
std::int32_t ReadWindowNumber(const wchar_t* p) {
    while (*p && !IsDigit(*p)) ++p;
    std::int64_t value = 0;
    for (; IsDigit(*p); ++p) {
        value = value * 10 + (*p - L'0');
        if (value > INT32_MAX) value = INT32_MAX;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

CommandLine ParseSwitches(const wchar_t* text) {
    CommandLine result;
    if (!text) return result;
    const wchar_t* p = SkipProgramName(text);
    if (!*p) return result;
    while (*p && *p != L'/' && *p != L'-') ++p;
    if (!*p) return result;

    const wchar_t* letter = p + 1;
    switch (*letter) {
    case L'C': case L'c': result.mode = RunMode::Configure; break;
    case L'P': case L'p': result.mode = RunMode::Preview; break;
    case L'A': case L'a': result.mode = RunMode::ChangePassword; break;
    case L'T': case L't': result.mode = RunMode::Exit; return result;
    default: result.mode = RunMode::Run; return result;
    }
    result.window = ReadWindowNumber(letter + 1);
    return result;
}
