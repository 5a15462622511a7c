// Loads the library named on its command line the plain way, searching its
// own folder first: what the planted-library scenarios must be able to catch.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    HMODULE library = argc == 2 ? LoadLibraryW(argv[1]) : nullptr;
    if (!library) return 1;
    FreeLibrary(library);
    return 0;
}
