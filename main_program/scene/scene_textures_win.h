// The world's generated textures on one device: uploaded when a new version
// arrives, cut to the detail tier's size and to what the device can hold.
#pragma once

#include "main_program/scene/textures.h"
#include "main_program/scene/world_state.h"
#include "platform/com_objects_win.h"

#include <d3d9.h>

#include <array>
#include <cstdint>

namespace scene {

class SceneTextures {
  public:
    SceneTextures(IDirect3DDevice9& device, const D3DCAPS9& caps);

    // Uploads what is new in the world or was released; `textures` caps the sizes.
    void Update(const WorldState& world, Detail textures);
    // Null until the texture has arrived and been uploaded.
    IDirect3DTexture9* Get(TextureKind kind) const { return slots_[static_cast<std::size_t>(kind)].texture.Get(); }
    // Textures in the default pool (all of them on a Direct3D 9Ex device).
    void ReleaseDefaultPool();

  private:
    struct Slot {
        platform::ComPtr<IDirect3DTexture9> texture;
        std::uint64_t version = 0;
        Detail tier = Detail::Medium;
    };
    bool Upload(Slot& slot, const MipChain& chain, int largest);

    IDirect3DDevice9& device_;
    const D3DCAPS9& caps_;
    bool extended_ = false; // a 9Ex device, which has no managed pool
    std::array<Slot, kTextureKinds> slots_;
};

} // namespace scene
