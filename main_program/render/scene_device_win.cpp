// A scene window's device, its frames and its recovery.
#include "main_program/render/scene_device_win.h"

#include "main_program/render/antialiasing.h"
#include "platform/debug_output_win.h"

namespace render {

std::unique_ptr<SceneDevice> SceneDevice::Create(Direct3D& d3d, scene::World& world, const DeviceRequest& request) {
    if (!d3d) return nullptr;
    std::unique_ptr<SceneDevice> device(new SceneDevice(d3d, world, request));
    if (!device->MakeDevice()) return nullptr;
    return device;
}

SceneDevice::SceneDevice(Direct3D& d3d, scene::World& world, const DeviceRequest& request)
    : d3d_(d3d), world_(world), request_(request) {}

SceneDevice::~SceneDevice() {
    // The renderer and the overlay hold resources of the device: they go first.
    overlay_.reset();
    renderer_.reset();
}

bool SceneDevice::MakeDevice() {
    if (request_.adapter >= 0 && MakeDeviceOn(static_cast<UINT>(request_.adapter))) return true;
    // A device on the monitor's own adapter can fail (under Wine it always
    // does for the second one); adapter 0 presents to a window on any monitor.
    return request_.adapter != 0 && MakeDeviceOn(0);
}

bool SceneDevice::MakeDeviceOn(UINT adapter) {
    IDirect3D9* d3d = d3d_.Get();
    D3DCAPS9 caps{};
    if (FAILED(d3d->GetDeviceCaps(adapter, D3DDEVTYPE_HAL, &caps))) return false;
    DWORD behaviour = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                                                        : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    // The world's clock and camera are computed in double precision.
    behaviour |= D3DCREATE_FPU_PRESERVE;

    const D3DFORMAT depth = d3d_.DepthFormat(adapter);
    const int samples =
        request_.antialiasing == 0 ? 0 : ChooseSampleCount(request_.antialiasing, d3d_.SampleCounts(adapter, depth));
    for (const int tried : {samples, 0}) {
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = request_.width;
        params.BackBufferHeight = request_.height;
        params.BackBufferFormat = d3d_.DesktopFormat(adapter);
        params.BackBufferCount = 1;
        params.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(tried);
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.hDeviceWindow = request_.window;
        params.Windowed = TRUE;
        params.EnableAutoDepthStencil = TRUE;
        params.AutoDepthStencilFormat = depth;
        // Our own limiter paces the frames; a windowed present is composed by
        // the desktop, so it does not tear.
        params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        D3DPRESENT_PARAMETERS given = params;
        HRESULT result;
        if (IDirect3D9Ex* ex = d3d_.Ex()) {
            result = ex->CreateDeviceEx(adapter, D3DDEVTYPE_HAL, request_.window, behaviour, &given, nullptr,
                                        deviceEx_.Receive());
            if (SUCCEEDED(result)) {
                deviceEx_->AddRef();
                device_ = platform::ComPtr<IDirect3DDevice9>(deviceEx_.Get());
            }
        } else {
            result = d3d->CreateDevice(adapter, D3DDEVTYPE_HAL, request_.window, behaviour, &given, device_.Receive());
        }
        if (SUCCEEDED(result) && device_) {
            params_ = params;
            adapter_ = static_cast<int>(adapter);
            break;
        }
        platform::DebugLine(L"a Direct3D device could not be made", result);
        deviceEx_.Reset();
        device_.Reset();
        if (tried == 0) return false;
    }
    if (!device_) return false;
    if (request_.showFps) {
        overlay_ = std::make_unique<FpsOverlay>(*device_.Get());
        if (!overlay_->Restore()) platform::DebugLine(L"the frame counter's font could not be made");
    }
    return true;
}

bool SceneDevice::StartScene(scene::DetailChoice detail) {
    request_.detail = detail;
    renderer_ = scene::Renderer::Create(world_, *device_.Get(), detail);
    if (!renderer_) platform::DebugLine(L"the scene's renderer could not be made");
    return static_cast<bool>(renderer_);
}

std::uint32_t SceneDevice::AvailableTextureMemory() const { return device_ ? device_->GetAvailableTextureMem() : 0; }

DeviceState SceneDevice::State() {
    if (forcedLoss_) {
        forcedLoss_ = false;
        return DeviceState::NeedsReset;
    }
    if (!device_ || !renderer_) return DeviceState::Removed;
    if (deviceEx_) {
        switch (deviceEx_->CheckDeviceState(request_.window)) {
        case D3DERR_DEVICELOST: return DeviceState::NeedsReset;
        case D3DERR_DEVICEHUNG:
        case D3DERR_DEVICEREMOVED:
        case D3DERR_OUTOFVIDEOMEMORY: return DeviceState::Removed;
        default: return DeviceState::Ready;
        }
    }
    switch (device_->TestCooperativeLevel()) {
    case D3D_OK: return DeviceState::Ready;
    case D3DERR_DEVICELOST: return DeviceState::Lost;
    case D3DERR_DEVICENOTRESET: return DeviceState::NeedsReset;
    default: return DeviceState::Removed;
    }
}

void SceneDevice::ReleaseDefaultPool() {
    if (renderer_) renderer_->ReleaseDefaultPool();
    if (overlay_) overlay_->Release();
}

bool SceneDevice::Reset() {
    if (!device_) return false;
    D3DPRESENT_PARAMETERS params = params_;
    HRESULT result = deviceEx_ ? deviceEx_->ResetEx(&params, nullptr) : device_->Reset(&params);
    if (FAILED(result) && params_.MultiSampleType != D3DMULTISAMPLE_NONE) {
        params_.MultiSampleType = D3DMULTISAMPLE_NONE;
        params = params_;
        result = deviceEx_ ? deviceEx_->ResetEx(&params, nullptr) : device_->Reset(&params);
    }
    if (FAILED(result)) platform::DebugLine(L"a lost device could not be reset", result);
    return SUCCEEDED(result);
}

void SceneDevice::SetAntialiasing(int setting) {
    request_.antialiasing = setting;
    if (adapter_ < 0) return;
    const auto adapter = static_cast<UINT>(adapter_);
    const int samples = ChooseSampleCount(setting, d3d_.SampleCounts(adapter, d3d_.DepthFormat(adapter)));
    if (samples == static_cast<int>(params_.MultiSampleType)) return;
    params_.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(samples);
    forcedLoss_ = true;
}

bool SceneDevice::RestoreDefaultPool() {
    const bool scene = renderer_ && renderer_->RestoreDefaultPool();
    if (overlay_ && !overlay_->Restore()) platform::DebugLine(L"the frame counter's font could not be made again");
    return scene;
}

bool SceneDevice::Recreate() {
    overlay_.reset();
    renderer_.reset();
    deviceEx_.Reset();
    device_.Reset();
    return MakeDevice() && StartScene(request_.detail);
}

void SceneDevice::SetDetail(scene::DetailChoice detail) {
    request_.detail = detail;
    if (renderer_) renderer_->SetDetail(detail);
}

FrameVerdict SceneDevice::Frame(const scene::View& view, const std::string* fpsText, float fpsPixel) {
    const FrameVerdict verdict = recovery_.BeforeFrame(*this);
    if (verdict != FrameVerdict::Render) return verdict;
    renderer_->Render(view); // clears the target itself
    if (fpsText && overlay_ && SUCCEEDED(device_->BeginScene())) {
        overlay_->Draw(*fpsText, fpsPixel, params_.BackBufferWidth);
        device_->EndScene();
    }
    const HRESULT presented = deviceEx_ ? deviceEx_->PresentEx(nullptr, nullptr, nullptr, nullptr, 0)
                                        : device_->Present(nullptr, nullptr, nullptr, nullptr);
    if (presented == D3DERR_DEVICELOST)
        recovery_.Reported(deviceEx_ ? DeviceState::NeedsReset : DeviceState::Lost);
    else if (presented == D3DERR_DEVICEREMOVED || presented == D3DERR_DEVICEHUNG)
        recovery_.Reported(DeviceState::Removed);
    return FrameVerdict::Render;
}

} // namespace render
