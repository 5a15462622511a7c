// The screensaver's file loaded for its resources and made the program
// module, so that the program's windows and dialogs run inside a test.
#pragma once

#include "platform/app_module_win.h"
#include "tests/e2e/driver/process.h"

#include <windows.h>

class ScreensaverResources {
public:
    ScreensaverResources()
        : module_(LoadLibraryExW(e2e::ScreensaverPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {
        platform::Module().Init(module_);
    }
    ~ScreensaverResources() {
        platform::Module().Term();
        if (module_) FreeLibrary(module_);
    }
    ScreensaverResources(const ScreensaverResources&) = delete;
    ScreensaverResources& operator=(const ScreensaverResources&) = delete;
    explicit operator bool() const { return module_ != nullptr; }

private:
    HMODULE module_;
};
