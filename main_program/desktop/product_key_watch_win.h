// The watch over the product key: the settings dialog's OK writes there
// without telling the wallpaper, which then reads its settings again.
#pragma once

#include "main_program/desktop/change_debounce.h"
#include "platform/com_objects_win.h"
#include "platform/registry.h"

#include <windows.h>

#include <cstdint>

namespace desktop {

class ProductKeyWatch {
  public:
    // Watches the product key (the 64-bit view, where the settings are)
    // from now on, or from when it first exists.
    ProductKeyWatch();

    // Polled: true once per burst of changes, a little after it ended.
    bool Changed(std::uint64_t nowMs);
    // Signalled at every change; a loop may wait on it.
    HANDLE Event() const { return event_.Get(); }

  private:
    bool Open();
    bool Arm();

    platform::RegistryKey key_;
    platform::ScopedHandle event_;
    ChangeDebounce debounce_;
    std::uint64_t nextOpen_ = 0;
};

} // namespace desktop
