// The frames-per-second counter drawn on a device: its font in a texture of
// the default pool, characters as textured quads in a corner.
#pragma once

#include "platform/com_objects_win.h"

#include <d3d9.h>

#include <string>

namespace render {

class FpsOverlay {
  public:
    explicit FpsOverlay(IDirect3DDevice9& device) : device_(device) {}
    // Makes the font texture; false when the device refuses it.
    bool Restore();
    void Release() { font_.Reset(); }
    // Draws `text` in the top right corner, each font pixel `pixel` back-buffer
    // pixels big, between BeginScene and EndScene.
    void Draw(const std::string& text, float pixel, UINT bufferWidth);

  private:
    IDirect3DDevice9& device_;
    platform::ComPtr<IDirect3DTexture9> font_;
};

} // namespace render
