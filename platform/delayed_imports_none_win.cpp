// The list of delay-loaded functions of a program that imports every library
// as usual; the screensaver's generated list takes its place at link time.
#include "platform/delayed_imports_win.h"

namespace platform {
extern "C" const DelayedImport* const SorvaneDelayedImports[] = {nullptr};
} // namespace platform
