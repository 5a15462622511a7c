// The screensaver's delay-loaded imports (cmake/delayed_imports.py): what a
// mode resolves before it needs it, so that a library or function the system
// lacks is found out where it does no harm, never in the middle of a call.
#pragma once

#include <windows.h>

#include <initializer_list>

namespace platform {

// One delay-loaded function, as the generated stubs lay it out.
struct DelayedImport {
    const wchar_t* library;
    const char* function;
    void** slot;
};

// Every delay-loaded function of the program, null-terminated; only the
// terminator in a program that imports everything as usual.
extern "C" const DelayedImport* const SorvaneDelayedImports[];

// Resolves now every delay-loaded function that the program takes from these
// libraries. False when one cannot be had: its library and name then go to
// OutputDebugString, and the caller does without what needs it.
bool ResolveDelayedImports(std::initializer_list<const wchar_t*> libraries);

// The same for what a mode cannot do without: when one cannot be had, the
// process ends (EndForMissingFunction).
void RequireDelayedImports(std::initializer_list<const wchar_t*> libraries);

// Names the library and the function on OutputDebugString, waits until no
// registry write is under way and ends the process, with exit code 0.
[[noreturn]] void EndForMissingFunction(const wchar_t* library, const char* function);

} // namespace platform
