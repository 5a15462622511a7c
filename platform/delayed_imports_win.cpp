// The resolver behind the screensaver's delay-loaded imports: the first call of
// such a function loads its library from the system folder and fills its slot.
#include "platform/library_win.h"

namespace {

// Laid out by the generated import stubs (cmake/delayed_imports.py).
struct DelayedImport {
    const wchar_t* library;
    const char* function;
    void** slot;
};

} // namespace

extern "C" void* SorvaneResolveDelayedImport(const DelayedImport* import) {
    // The library stays loaded for the rest of the process, as an import does.
    HMODULE module = platform::LoadSystemLibrary(import->library);
    void* function = module ? reinterpret_cast<void*>(GetProcAddress(module, import->function)) : nullptr;
    // A system without a function this program was built against: where a
    // missing import would stop the program before it started, end it now,
    // quietly and with the exit code of every other path.
    if (!function) ExitProcess(0);
    InterlockedExchangePointer(import->slot, function);
    return function;
}
