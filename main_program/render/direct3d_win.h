// The Direct3D 9 object of the main program: Direct3D 9Ex where the system has
// it, else plain Direct3D 9, from the system folder; none on a system without
// either (then every monitor stays black).
#pragma once

#include "platform/com_objects_win.h"
#include "platform/library_win.h"

#include <d3d9.h>

#include <vector>

namespace render {

class Direct3D {
  public:
    // `plainOnly`: never 9Ex (a test tuning, so that both kinds run).
    explicit Direct3D(bool plainOnly = false);
    Direct3D(const Direct3D&) = delete;
    Direct3D& operator=(const Direct3D&) = delete;

    explicit operator bool() const { return static_cast<bool>(d3d_); }
    IDirect3D9* Get() const { return d3d_.Get(); }
    IDirect3D9Ex* Ex() const { return ex_.Get(); }

    // The adapter that drives `monitor`, or -1.
    int AdapterOfMonitor(HMONITOR monitor) const;
    // The multisample counts from 2 up that a windowed back buffer of the
    // desktop's format and a depth buffer of `depthFormat` support together.
    std::vector<int> SampleCounts(UINT adapter, D3DFORMAT depthFormat) const;
    // The desktop's format on `adapter` (X8R8G8B8 when it cannot be read).
    D3DFORMAT DesktopFormat(UINT adapter) const;
    // The first depth format of D24S8, D24X8, D16 that suits the desktop's format.
    D3DFORMAT DepthFormat(UINT adapter) const;

  private:
    platform::Library library_; // freed after the objects below are released
    platform::ComPtr<IDirect3D9Ex> ex_;
    platform::ComPtr<IDirect3D9> d3d_;
};

} // namespace render
