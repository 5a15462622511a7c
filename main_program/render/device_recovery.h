// Bringing a lost Direct3D device back: every default-pool resource is
// released before the reset and made again after it; a removed device is made
// anew; a device that cannot be brought back leaves its window black. The
// calls to the device go through a seam so that every path can be tried
// without losing a device.
#pragma once

namespace render {

enum class DeviceState {
    Ready,
    Lost,       // cannot be reset yet (another program owns the display, a power event)
    NeedsReset, // can be reset now
    Removed,    // gone (driver reset, hung or removed adapter): only a new device helps
};

class DeviceRecoveryCalls {
  public:
    virtual ~DeviceRecoveryCalls() = default;
    virtual DeviceState State() = 0;
    // Releases every default-pool resource: the scene's and the program's own.
    virtual void ReleaseDefaultPool() = 0;
    virtual bool Reset() = 0;
    virtual bool RestoreDefaultPool() = 0;
    // A new device (and everything made on it) in place of the old one.
    virtual bool Recreate() = 0;
};

enum class FrameVerdict {
    Render, // draw and present this frame
    Wait,   // skip this frame and try again a little later
    Black,  // given up: the window stays black
};

class DeviceRecovery {
  public:
    // New devices tried for a removed one before the window is left black.
    static constexpr int kRecreateAttempts = 3;

    // Before each frame: brings the device back where it can be.
    FrameVerdict BeforeFrame(DeviceRecoveryCalls& calls);
    // Present (or another call) reported the device lost or removed.
    void Reported(DeviceState state) {
        if (state != DeviceState::Ready) reported_ = state;
    }
    // Resets and new devices that succeeded, for the test state.
    int Recoveries() const { return recoveries_; }

  private:
    bool released_ = false;
    bool givenUp_ = false;
    int recreateFailures_ = 0;
    int recoveries_ = 0;
    DeviceState reported_ = DeviceState::Ready;
};

} // namespace render
