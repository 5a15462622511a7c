// One Direct3D probe of the settings dialog by itself, as the dialog makes it:
// "d3d9" the adapter enumeration, "d3d11" the sample counts. Writes the
// probe's own duration in milliseconds to the file named second, so that
// scripts/bench.sh can add the slowest one to a minimal dialog's start.
#include "settings/dialogs/antialiasing_list_win.h"
#include "hardware/display_adapters.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    if (std::wcscmp(argv[1], L"d3d9") == 0) {
        auto found = std::make_unique<AdapterEnumeration>();
        EnumerateAdapters(*found, ApproveEveryDeviceMode);
    } else {
        SupportedSampleCounts();
    }
    QueryPerformanceCounter(&after);
    FILE* out = _wfopen(argv[2], L"w");
    if (!out) return 1;
    std::fprintf(out, "%.3f\n", 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                                    static_cast<double>(frequency.QuadPart));
    std::fclose(out);
    return 0;
}
