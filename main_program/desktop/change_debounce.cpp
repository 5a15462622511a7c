// The debounce of a burst of changes.
#include "main_program/desktop/change_debounce.h"

namespace desktop {

void ChangeDebounce::Changed(std::uint64_t nowMs) {
    if (!pending_) first_ = nowMs;
    pending_ = true;
    last_ = nowMs;
}

bool ChangeDebounce::Due(std::uint64_t nowMs) {
    if (!pending_) return false;
    // A clock read before the change was recorded reads as no time passed.
    const std::uint64_t sinceLast = nowMs > last_ ? nowMs - last_ : 0;
    const std::uint64_t sinceFirst = nowMs > first_ ? nowMs - first_ : 0;
    if (sinceLast < quiet_ && sinceFirst < longest_) return false;
    pending_ = false;
    return true;
}

} // namespace desktop
