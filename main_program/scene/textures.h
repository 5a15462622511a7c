// The scene's textures, generated: tileable ground and water detail and
// cloud cover, and the round shapes of lights, the moon and ripples. Each
// comes with its mipmaps, made here too.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace scene {

// A8R8G8B8 pixels, rows from the top.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

// An image and its mipmaps, each half the size of the one before, down to 1x1.
struct MipChain {
    std::vector<Image> levels;
    bool Empty() const { return levels.empty(); }
};

enum class TextureKind { Ground, Water, Clouds, Glow, Moon, Ring, Count };
constexpr int kTextureKinds = static_cast<int>(TextureKind::Count);

// The mipmaps of `image` (square, a power of two), by averaging 2x2 pixels.
MipChain WithMipmaps(Image image);

// Generates a texture of `size` x `size` pixels (a power of two). Returns an
// empty chain when `stop` becomes true on the way.
MipChain GenerateTexture(TextureKind kind, int size, std::uint32_t seed, const std::atomic<bool>& stop);

} // namespace scene
