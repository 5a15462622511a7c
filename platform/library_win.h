// System libraries loaded by name from the system folder only, and the
// process-wide restriction of the library search to that folder.
#pragma once

#include <windows.h>

namespace platform {

// Loads `name` from the system folder, never from the program's own folder or
// the current one, where a planted file of that name could wait. Null when
// the system has no such library.
HMODULE LoadSystemLibrary(const wchar_t* name);

// The first act of the process: every later search for a library, the
// system's own for delay-loaded and dependent libraries included, looks in
// the system folder only.
void RestrictLibrarySearchToSystemFolder();

// A pointer to a function of the Windows calling convention, for exports that
// no system header declares; everything else is typed with decltype of the
// header's own declaration, so that the convention can never be dropped.
template <typename Result, typename... Arguments>
using WinApiFunction = Result(WINAPI*)(Arguments...);

// A system library loaded by name (LoadSystemLibrary), freed when it goes out
// of scope.
class Library {
public:
    explicit Library(const wchar_t* name) : module_(LoadSystemLibrary(name)) {}
    ~Library() {
        if (module_) FreeLibrary(module_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    explicit operator bool() const { return module_ != nullptr; }

    // The export `name` as a function pointer of type Fn, or null. Fn is
    // decltype(&::Export) where a header declares the export, else a
    // WinApiFunction.
    template <typename Fn>
    Fn Function(const char* name) const {
        if (!module_) return nullptr;
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
};

} // namespace platform
