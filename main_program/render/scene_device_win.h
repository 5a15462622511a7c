// One scene window's Direct3D device: made on its monitor's adapter (else on
// adapter 0, which can present anywhere), with a windowed swap chain of the
// planned back-buffer size and multisample count, the scene's renderer and
// the frame counter's overlay; brought back when lost.
#pragma once

#include "main_program/render/device_recovery.h"
#include "main_program/render/direct3d_win.h"
#include "main_program/render/fps_overlay_win.h"
#include "main_program/scene/scene.h"

#include <memory>
#include <string>

namespace render {

struct DeviceRequest {
    HWND window = nullptr;
    int adapter = -1; // the monitor's adapter; -1 when none drives it
    UINT width = 0, height = 0;
    int antialiasing = 0; // the setting
    bool showFps = false; // the frame counter's font is made only when it shows
    scene::DetailChoice detail; // set by StartScene
};

class SceneDevice final : public DeviceRecoveryCalls {
  public:
    // Null when no device could be made on either adapter.
    static std::unique_ptr<SceneDevice> Create(Direct3D& d3d, scene::World& world, const DeviceRequest& request);
    // Makes the scene's renderer on the device; false when it cannot be made.
    bool StartScene(scene::DetailChoice detail);
    ~SceneDevice() override;

    // Brings a lost device back where it can, then draws `view` (and the
    // counter's `fpsText` when not null) and presents.
    FrameVerdict Frame(const scene::View& view, const std::string* fpsText, float fpsPixel);
    void SetDetail(scene::DetailChoice detail);
    // The next look at the device finds it lost and in need of a reset.
    void ReportLostOnce() { forcedLoss_ = true; }
    // Another Antialiasing setting: the swap chain is reset with its count
    // before the next frame (without multisampling if the reset fails).
    void SetAntialiasing(int setting);

    int Adapter() const { return adapter_; }
    bool IsEx() const { return static_cast<bool>(deviceEx_); }
    int Samples() const { return static_cast<int>(params_.MultiSampleType); }
    int Recoveries() const { return recovery_.Recoveries(); }
    // Bytes of texture memory the device reports (for the starting detail).
    std::uint32_t AvailableTextureMemory() const;

    DeviceState State() override;
    void ReleaseDefaultPool() override;
    bool Reset() override;
    bool RestoreDefaultPool() override;
    bool Recreate() override;

  private:
    SceneDevice(Direct3D& d3d, scene::World& world, const DeviceRequest& request);
    bool MakeDevice();
    bool MakeDeviceOn(UINT adapter);

    Direct3D& d3d_;
    scene::World& world_;
    DeviceRequest request_;
    int adapter_ = -1;
    D3DPRESENT_PARAMETERS params_{};
    platform::ComPtr<IDirect3DDevice9> device_;
    platform::ComPtr<IDirect3DDevice9Ex> deviceEx_;
    std::unique_ptr<scene::Renderer> renderer_;
    std::unique_ptr<FpsOverlay> overlay_;
    DeviceRecovery recovery_;
    bool forcedLoss_ = false;
};

} // namespace render
