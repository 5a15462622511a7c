// The Direct3D 9 object and the questions asked of it.
#include "main_program/render/direct3d_win.h"

namespace render {

Direct3D::Direct3D(bool plainOnly) : library_(L"d3d9.dll") {
    if (!plainOnly) {
        if (auto createEx = library_.Function<decltype(&::Direct3DCreate9Ex)>("Direct3DCreate9Ex")) {
            if (SUCCEEDED(createEx(D3D_SDK_VERSION, ex_.Receive())) && ex_) {
                ex_->AddRef();
                d3d_ = platform::ComPtr<IDirect3D9>(ex_.Get());
                return;
            }
        }
    }
    ex_.Reset();
    if (auto create = library_.Function<decltype(&::Direct3DCreate9)>("Direct3DCreate9"))
        d3d_ = platform::ComPtr<IDirect3D9>(create(D3D_SDK_VERSION));
}

int Direct3D::AdapterOfMonitor(HMONITOR monitor) const {
    if (!d3d_) return -1;
    const UINT count = d3d_->GetAdapterCount();
    for (UINT adapter = 0; adapter < count; ++adapter)
        if (d3d_->GetAdapterMonitor(adapter) == monitor) return static_cast<int>(adapter);
    return -1;
}

D3DFORMAT Direct3D::DesktopFormat(UINT adapter) const {
    D3DDISPLAYMODE mode{};
    if (d3d_ && SUCCEEDED(d3d_->GetAdapterDisplayMode(adapter, &mode)) && mode.Format != D3DFMT_UNKNOWN)
        return mode.Format;
    return D3DFMT_X8R8G8B8;
}

D3DFORMAT Direct3D::DepthFormat(UINT adapter) const {
    const D3DFORMAT desktop = DesktopFormat(adapter);
    for (D3DFORMAT depth : {D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D16}) {
        if (SUCCEEDED(d3d_->CheckDeviceFormat(adapter, D3DDEVTYPE_HAL, desktop, D3DUSAGE_DEPTHSTENCIL,
                                              D3DRTYPE_SURFACE, depth)) &&
            SUCCEEDED(d3d_->CheckDepthStencilMatch(adapter, D3DDEVTYPE_HAL, desktop, desktop, depth)))
            return depth;
    }
    return D3DFMT_D16;
}

std::vector<int> Direct3D::SampleCounts(UINT adapter, D3DFORMAT depthFormat) const {
    std::vector<int> counts;
    if (!d3d_) return counts;
    const D3DFORMAT desktop = DesktopFormat(adapter);
    for (int samples = 2; samples <= 16; ++samples) {
        const auto type = static_cast<D3DMULTISAMPLE_TYPE>(samples);
        if (SUCCEEDED(d3d_->CheckDeviceMultiSampleType(adapter, D3DDEVTYPE_HAL, desktop, TRUE, type, nullptr)) &&
            SUCCEEDED(d3d_->CheckDeviceMultiSampleType(adapter, D3DDEVTYPE_HAL, depthFormat, TRUE, type, nullptr)))
            counts.push_back(samples);
    }
    return counts;
}

} // namespace render
