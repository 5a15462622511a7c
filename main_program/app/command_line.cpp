// Parsing the main program's command line.
#include "main_program/app/command_line.h"

#include <cwctype>

namespace main_program {

namespace {

bool Blank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The first argument after the program's path, quotes removed.
std::wstring FirstArgument(const std::wstring& line) {
    std::size_t at = 0;
    while (at < line.size() && Blank(line[at])) ++at;
    if (at < line.size() && line[at] == L'"') {
        const std::size_t close = line.find(L'"', at + 1);
        at = close == std::wstring::npos ? line.size() : close + 1;
    }
    while (at < line.size() && !Blank(line[at])) ++at;
    while (at < line.size() && Blank(line[at])) ++at;
    std::wstring argument;
    bool quoted = false;
    for (; at < line.size(); ++at) {
        if (line[at] == L'"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && Blank(line[at])) break;
        argument += static_cast<wchar_t>(std::towlower(line[at]));
    }
    return argument;
}

} // namespace

ProgramMode ParseProgramMode(const std::wstring& commandLine) {
    const std::wstring argument = FirstArgument(commandLine);
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return ProgramMode::Screensaver;
    const std::wstring name = argument.substr(1);
    if (name == L"w") return ProgramMode::Wallpaper;
    if (name == L"stop") return ProgramMode::StopWallpaper;
    return ProgramMode::Screensaver;
}

} // namespace main_program
