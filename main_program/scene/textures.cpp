// Procedural textures and their mipmaps.
#include "main_program/scene/textures.h"

#include "main_program/scene/noise.h"
#include "main_program/scene/scene_math.h"

#include <cmath>
#include <functional>

namespace scene {

namespace {

std::uint32_t Pixel(float r, float g, float b, float a) { return PackColor({r, g, b}, a); }

// Fills an image row by row from `shade(u, v)` over 0..1, stopping early on request.
bool Fill(Image& image, int size, const std::atomic<bool>& stop, const std::function<std::uint32_t(float, float)>& shade) {
    image.width = image.height = size;
    image.pixels.resize(static_cast<std::size_t>(size) * size);
    for (int y = 0; y < size; ++y) {
        if (stop.load(std::memory_order_relaxed)) return false;
        for (int x = 0; x < size; ++x)
            image.pixels[static_cast<std::size_t>(y) * size + x] =
                shade((static_cast<float>(x) + 0.5f) / size, (static_cast<float>(y) + 0.5f) / size);
    }
    return true;
}

// Ground: mottled grey around the middle, so that modulating twice by it keeps
// the ground's colour on average, with a faint warm and cool cast.
// Only small features: larger ones would show the texture's repeats.
std::uint32_t GroundPixel(float u, float v, std::uint32_t seed) {
    const float clumps = PeriodicFractal(u * 16.0, v * 16.0, 5, seed, 16, 0.6f);
    const float grain = GradientNoise(u * 128.0, v * 128.0, seed + 5u, 128);
    const float tint = PeriodicFractal(u * 8.0, v * 8.0, 3, seed + 9u, 8, 0.5f);
    const float value = 0.5f + 0.16f * clumps + 0.05f * grain;
    return Pixel(value * (1.0f + 0.08f * tint), value, value * (1.0f - 0.08f * tint), 1.0f);
}

// Water: long, thin ripples across the wind. The alpha around the middle
// scales how much the water mirrors; the colour adds a faint sheen.
std::uint32_t WaterPixel(float u, float v, std::uint32_t seed) {
    const float long_ = PeriodicFractal(u * 3.0, v * 12.0, 5, seed, 3, 12, 0.55f);
    const float cross = PeriodicFractal(u * 8.0, v * 8.0, 4, seed + 3u, 8, 8, 0.5f);
    const float ripple = 0.75f * long_ + 0.25f * cross;
    const float sheen = 0.5f + 0.3f * ripple;
    return Pixel(sheen, sheen, sheen, 0.5f + 0.22f * ripple);
}

// Clouds: soft-edged heaps over clear sky; thick parts are darker below.
std::uint32_t CloudPixel(float u, float v, std::uint32_t seed) {
    const float cover = PeriodicFractal(u * 3.0, v * 3.0, 7, seed, 3, 0.55f);
    const float streak = PeriodicFractal(u * 2.0, v * 8.0, 4, seed + 7u, 2, 8, 0.5f);
    const float density = cover + 0.25f * streak;
    const float alpha = SmoothStep(0.02f, 0.5f, density);
    const float shade = 1.0f - 0.45f * SmoothStep(0.25f, 0.85f, density);
    return Pixel(shade, shade, shade, alpha);
}

// A soft round light: a bright core in a wide halo, white, in the alpha.
std::uint32_t GlowPixel(float u, float v) {
    const float dx = u * 2 - 1, dy = v * 2 - 1, r2 = dx * dx + dy * dy;
    const float fade = 1.0f - SmoothStep(0.6f, 1.0f, std::sqrt(r2));
    const float a = (0.55f * std::exp(-r2 * 60.0f) + 0.45f * std::exp(-r2 * 7.0f)) * fade;
    return Pixel(1, 1, 1, a);
}

// The moon: a pale disc with darker seas and a darkened rim.
std::uint32_t MoonPixel(float u, float v, int size, std::uint32_t seed) {
    const float dx = u * 2 - 1, dy = v * 2 - 1, r = std::sqrt(dx * dx + dy * dy);
    const float edge = 2.0f / static_cast<float>(size);
    const float disc = 1.0f - SmoothStep(0.9f - edge, 0.9f + edge, r);
    const float seas = SmoothStep(0.0f, 0.35f, Fractal(u * 2.5, v * 2.5, 5, seed, 0.55f));
    const float rim = 1.0f - 0.35f * std::pow(Clamp01(r / 0.9f), 3.0f);
    const float value = (0.95f - 0.3f * seas) * rim;
    return Pixel(value, value * 0.98f, value * 0.93f, disc);
}

// A ripple ring: a bright crest with a fainter one inside it.
std::uint32_t RingPixel(float u, float v) {
    const float dx = u * 2 - 1, dy = v * 2 - 1, r = std::sqrt(dx * dx + dy * dy);
    const float outer = std::exp(-std::pow((r - 0.82f) / 0.07f, 2.0f));
    const float inner = 0.45f * std::exp(-std::pow((r - 0.6f) / 0.06f, 2.0f));
    return Pixel(1, 1, 1, (outer + inner) * (1.0f - SmoothStep(0.92f, 1.0f, r)));
}

} // namespace

MipChain WithMipmaps(Image image) {
    MipChain chain;
    chain.levels.push_back(std::move(image));
    while (chain.levels.back().width > 1 && chain.levels.back().height > 1) {
        const Image& from = chain.levels.back();
        Image half;
        half.width = from.width / 2;
        half.height = from.height / 2;
        half.pixels.resize(static_cast<std::size_t>(half.width) * half.height);
        for (int y = 0; y < half.height; ++y)
            for (int x = 0; x < half.width; ++x) {
                std::uint32_t sum[4] = {0, 0, 0, 0};
                for (int k = 0; k < 4; ++k) {
                    const std::uint32_t p =
                        from.pixels[static_cast<std::size_t>(2 * y + (k >> 1)) * from.width + 2 * x + (k & 1)];
                    for (int c = 0; c < 4; ++c) sum[c] += (p >> (8 * c)) & 0xFFu;
                }
                std::uint32_t p = 0;
                for (int c = 0; c < 4; ++c) p |= ((sum[c] + 2) / 4) << (8 * c);
                half.pixels[static_cast<std::size_t>(y) * half.width + x] = p;
            }
        chain.levels.push_back(std::move(half));
    }
    return chain;
}

MipChain GenerateTexture(TextureKind kind, int size, std::uint32_t seed, const std::atomic<bool>& stop) {
    Image image;
    bool done = false;
    switch (kind) {
    case TextureKind::Ground: done = Fill(image, size, stop, [&](float u, float v) { return GroundPixel(u, v, seed); }); break;
    case TextureKind::Water: done = Fill(image, size, stop, [&](float u, float v) { return WaterPixel(u, v, seed + 1u); }); break;
    case TextureKind::Clouds: done = Fill(image, size, stop, [&](float u, float v) { return CloudPixel(u, v, seed + 2u); }); break;
    case TextureKind::Glow: done = Fill(image, size, stop, GlowPixel); break;
    case TextureKind::Moon: done = Fill(image, size, stop, [&](float u, float v) { return MoonPixel(u, v, size, seed + 3u); }); break;
    case TextureKind::Ring: done = Fill(image, size, stop, RingPixel); break;
    case TextureKind::Count: break;
    }
    if (!done) return {};
    return WithMipmaps(std::move(image));
}

} // namespace scene
