// The lost-device state machine.
#include "main_program/render/device_recovery.h"

namespace render {

FrameVerdict DeviceRecovery::BeforeFrame(DeviceRecoveryCalls& calls) {
    if (givenUp_) return FrameVerdict::Black;
    DeviceState state = calls.State();
    // A device that Present found removed may still answer "ready" here.
    if (reported_ == DeviceState::Removed) state = DeviceState::Removed;
    reported_ = DeviceState::Ready;
    switch (state) {
    case DeviceState::Ready:
        if (!released_) return FrameVerdict::Render;
        // Reset, but the resources could not all be made again: try once more.
        if (calls.RestoreDefaultPool()) {
            released_ = false;
            ++recoveries_;
            return FrameVerdict::Render;
        }
        calls.ReleaseDefaultPool();
        return FrameVerdict::Wait;
    case DeviceState::Lost:
        return FrameVerdict::Wait;
    case DeviceState::NeedsReset:
        if (!released_) calls.ReleaseDefaultPool();
        released_ = true;
        if (!calls.Reset()) return FrameVerdict::Wait;
        if (!calls.RestoreDefaultPool()) {
            calls.ReleaseDefaultPool();
            return FrameVerdict::Wait;
        }
        released_ = false;
        ++recoveries_;
        return FrameVerdict::Render;
    case DeviceState::Removed:
        if (!released_) calls.ReleaseDefaultPool();
        released_ = true;
        if (calls.Recreate()) {
            released_ = false;
            recreateFailures_ = 0;
            ++recoveries_;
            return FrameVerdict::Render;
        }
        if (++recreateFailures_ >= kRecreateAttempts) {
            givenUp_ = true;
            return FrameVerdict::Black;
        }
        return FrameVerdict::Wait;
    }
    return FrameVerdict::Wait;
}

} // namespace render
