// Uploading generated textures to a device.
#include "main_program/scene/scene_textures_win.h"

#include <algorithm>
#include <cstring>

namespace scene {

SceneTextures::SceneTextures(IDirect3DDevice9& device, const D3DCAPS9& caps) : device_(device), caps_(caps) {
    platform::ComPtr<IDirect3DDevice9Ex> extended;
    extended_ = SUCCEEDED(device_.QueryInterface(__uuidof(IDirect3DDevice9Ex), extended.ReceiveVoid()));
}

void SceneTextures::ReleaseDefaultPool() {
    if (!extended_) return;
    for (Slot& slot : slots_) {
        slot.texture.Reset();
        slot.version = 0;
    }
}

void SceneTextures::Update(const WorldState& world, Detail textures) {
    for (int kind = 0; kind < kTextureKinds; ++kind) {
        const PublishedTexture& published = world.Texture(static_cast<TextureKind>(kind));
        Slot& slot = slots_[static_cast<std::size_t>(kind)];
        if (!published.chain || (slot.version == published.version && slot.tier == textures && slot.texture)) continue;
        slot.version = published.version;
        slot.tier = textures;
        if (!Upload(slot, *published.chain, TextureSize(static_cast<TextureKind>(kind), textures))) slot.texture.Reset();
    }
}

bool SceneTextures::Upload(Slot& slot, const MipChain& chain, int largest) {
    // Small devices get a smaller mip level as the top of the texture.
    const int limit = std::min({largest, static_cast<int>(caps_.MaxTextureWidth), static_cast<int>(caps_.MaxTextureHeight)});
    std::size_t first = 0;
    while (first + 1 < chain.levels.size() && chain.levels[first].width > limit) ++first;
    const bool mipmaps = (caps_.TextureCaps & D3DPTEXTURECAPS_MIPMAP) != 0;
    const auto levels = static_cast<UINT>(mipmaps ? chain.levels.size() - first : 1);
    const Image& top = chain.levels[first];
    const D3DPOOL pool = extended_ ? D3DPOOL_SYSTEMMEM : D3DPOOL_MANAGED;
    platform::ComPtr<IDirect3DTexture9> filled;
    if (FAILED(device_.CreateTexture(static_cast<UINT>(top.width), static_cast<UINT>(top.height), levels, 0,
                                     D3DFMT_A8R8G8B8, pool, filled.Receive(), nullptr)))
        return false;
    for (UINT level = 0; level < levels; ++level) {
        const Image& image = chain.levels[first + level];
        D3DLOCKED_RECT locked{};
        if (FAILED(filled->LockRect(level, &locked, nullptr, 0))) return false;
        for (int y = 0; y < image.height; ++y)
            std::memcpy(static_cast<BYTE*>(locked.pBits) + static_cast<std::ptrdiff_t>(y) * locked.Pitch,
                        &image.pixels[static_cast<std::size_t>(y) * image.width], static_cast<std::size_t>(image.width) * 4);
        filled->UnlockRect(level);
    }
    if (!extended_) {
        slot.texture = std::move(filled);
        return true;
    }
    // A 9Ex device draws from the default pool, filled from system memory.
    platform::ComPtr<IDirect3DTexture9> drawn;
    if (FAILED(device_.CreateTexture(static_cast<UINT>(top.width), static_cast<UINT>(top.height), levels, 0,
                                     D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, drawn.Receive(), nullptr)) ||
        FAILED(device_.UpdateTexture(filled.Get(), drawn.Get())))
        return false;
    slot.texture = std::move(drawn);
    return true;
}

} // namespace scene
