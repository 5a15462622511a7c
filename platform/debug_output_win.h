// One line to the debugger's output: how a program without message boxes
// tells what went wrong.
#pragma once

#include <windows.h>

#include <cwchar>

namespace platform {

inline void DebugLine(const wchar_t* what, HRESULT result = S_OK) {
    wchar_t line[256];
    if (result == S_OK)
        std::swprintf(line, 256, L"Sorvane: %ls\n", what);
    else
        std::swprintf(line, 256, L"Sorvane: %ls (0x%08lX)\n", what, static_cast<unsigned long>(result));
    OutputDebugStringW(line);
}

} // namespace platform
