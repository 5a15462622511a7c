// The product key's watch.
#include "main_program/desktop/product_key_watch_win.h"

#include "platform/registry_access.h"

namespace desktop {
namespace {

// The settings dialog's OK writes every value within milliseconds.
constexpr std::uint32_t kQuietMs = 250;
constexpr std::uint32_t kLongestMs = 2000;
// A key that cannot be opened is looked for again this often.
constexpr std::uint64_t kReopenMs = 1000;

} // namespace

ProductKeyWatch::ProductKeyWatch()
    : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), debounce_(kQuietMs, kLongestMs) {
    Open();
}

bool ProductKeyWatch::Open() {
    if (platform::Registry().OpenKey(HKEY_LOCAL_MACHINE, kProductKey, ReadAccess(true) | KEY_NOTIFY,
                                     key_.Receive()) != ERROR_SUCCESS) {
        key_.Release();
        return false;
    }
    if (Arm()) return true;
    key_.Close();
    return false;
}

bool ProductKeyWatch::Arm() {
    constexpr DWORD kWhat = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
    return event_ && RegNotifyChangeKeyValue(key_.Get(), TRUE, kWhat, event_.Get(), TRUE) == ERROR_SUCCESS;
}

bool ProductKeyWatch::Changed(std::uint64_t nowMs) {
    if (!key_) {
        if (nowMs >= nextOpen_) {
            nextOpen_ = nowMs + kReopenMs;
            // A key that appears is a change: it holds settings the defaults lacked.
            if (Open()) debounce_.Changed(nowMs);
        }
    } else if (WaitForSingleObject(event_.Get(), 0) == WAIT_OBJECT_0) {
        debounce_.Changed(nowMs);
        // A deleted key cannot be watched again: look for a new one later.
        if (!Arm()) {
            key_.Close();
            nextOpen_ = nowMs + kReopenMs;
        }
    }
    return debounce_.Due(nowMs);
}

} // namespace desktop
