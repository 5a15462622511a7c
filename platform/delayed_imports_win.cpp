// The resolver behind the screensaver's delay-loaded imports: the first call of
// such a function, or a mode's resolution ahead of it, loads its library from
// the system folder and fills its slot.
#include "platform/delayed_imports_win.h"

#include "platform/library_win.h"
#include "platform/registry.h"

#include <cwchar>
#include <string>

namespace platform {

namespace {

std::wstring Describe(const wchar_t* library, const char* function) {
    std::wstring text = L"Sorvane 3D Screensaver: cannot load ";
    for (const char* c = function; *c; ++c) text += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return text + L" from " + library;
}

bool Named(const DelayedImport& import, std::initializer_list<const wchar_t*> libraries) {
    for (const wchar_t* library : libraries)
        if (_wcsicmp(import.library, library) == 0) return true;
    return false;
}

// The function's address, or null with the reason written to the debugger.
void* Resolve(const DelayedImport& import) {
    // The library stays loaded for the rest of the process, as an import does.
    HMODULE module = LoadSystemLibrary(import.library);
    void* function = module ? reinterpret_cast<void*>(GetProcAddress(module, import.function)) : nullptr;
    if (!function) {
        OutputDebugStringW((Describe(import.library, import.function) + L"\n").c_str());
        return nullptr;
    }
    InterlockedExchangePointer(import.slot, function);
    return function;
}

const DelayedImport* FirstMissing(std::initializer_list<const wchar_t*> libraries) {
    for (const DelayedImport* const* import = SorvaneDelayedImports; *import; ++import)
        if (Named(**import, libraries) && !Resolve(**import)) return *import;
    return nullptr;
}

} // namespace

bool ResolveDelayedImports(std::initializer_list<const wchar_t*> libraries) { return !FirstMissing(libraries); }

void RequireDelayedImports(std::initializer_list<const wchar_t*> libraries) {
    if (const DelayedImport* missing = FirstMissing(libraries)) EndForMissingFunction(missing->library, missing->function);
}

void EndForMissingFunction(const wchar_t* library, const char* function) {
    OutputDebugStringW((Describe(library, function) + L"; the process ends\n").c_str());
    StopRegistryWrites();
    TerminateProcess(GetCurrentProcess(), 0);
    for (;;) Sleep(INFINITE);
}

} // namespace platform

// Called by the generated stubs at the first call of a function that no
// resolution has reached: one the program cannot go on without.
extern "C" void* SorvaneResolveDelayedImport(const platform::DelayedImport* import) {
    void* function = platform::Resolve(*import);
    if (!function) platform::EndForMissingFunction(import->library, import->function);
    return function;
}
