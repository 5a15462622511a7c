// The frame-rate counter, its text and its font.
#include "main_program/render/fps_counter.h"

#include <cmath>
#include <cstring>

namespace render {

namespace {

constexpr double kCountingSeconds = 0.5;
constexpr int kCell = kGlyphWidth + 1;

// Each glyph: 7 rows of 5 bits, the leftmost pixel in the highest bit.
constexpr std::uint8_t kGlyphs[][kGlyphHeight] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}, // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}, // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}, // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}, // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}, // 9
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}, // F
    {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}, // P
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, // S
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}, // .
};
static_assert(sizeof kGlyphs / sizeof kGlyphs[0] == sizeof kFontCharacters - 1, "a glyph per character");
static_assert((sizeof kFontCharacters - 1) * kCell <= kFontAtlasWidth, "the atlas holds every glyph");

} // namespace

void FrameRateCounter::FrameShown(double now) {
    if (windowStart_ < 0) {
        windowStart_ = now;
        return;
    }
    ++frames_;
    const double elapsed = now - windowStart_;
    if (elapsed >= kCountingSeconds) {
        rate_ = static_cast<int>(std::lround(frames_ / elapsed));
        frames_ = 0;
        windowStart_ = now;
    }
}

std::string CounterText(int rate) { return std::to_string(rate) + " FPS"; }

std::vector<std::uint8_t> FontAtlas() {
    std::vector<std::uint8_t> atlas(static_cast<std::size_t>(kFontAtlasWidth) * kFontAtlasHeight, 0);
    for (std::size_t g = 0; g < sizeof kGlyphs / sizeof kGlyphs[0]; ++g)
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int column = 0; column < kGlyphWidth; ++column)
                if (kGlyphs[g][row] & (0x10 >> column))
                    atlas[static_cast<std::size_t>(row) * kFontAtlasWidth + g * kCell + column] = 255;
    return atlas;
}

std::vector<GlyphQuad> LayOutText(const std::string& text, float x, float y, float pixel) {
    std::vector<GlyphQuad> quads;
    float at = x;
    for (char c : text) {
        const char* found = c ? std::strchr(kFontCharacters, c) : nullptr;
        if (found) {
            const auto index = static_cast<float>(found - kFontCharacters);
            GlyphQuad q;
            q.left = at;
            q.top = y;
            q.right = at + kGlyphWidth * pixel;
            q.bottom = y + kGlyphHeight * pixel;
            q.u0 = index * kCell / kFontAtlasWidth;
            q.u1 = (index * kCell + kGlyphWidth) / kFontAtlasWidth;
            q.v0 = 0;
            q.v1 = static_cast<float>(kGlyphHeight) / kFontAtlasHeight;
            quads.push_back(q);
        }
        if (found || c == ' ') at += kCell * pixel;
    }
    return quads;
}

float CounterPixelSize(int fontScaling, std::uint32_t dpi, std::uint32_t bufferHeight, std::uint32_t monitorHeight) {
    const float monitorPixels = 2.0f * static_cast<float>(fontScaling) / 50.0f * static_cast<float>(dpi) / 96.0f;
    if (monitorHeight == 0) return monitorPixels;
    return monitorPixels * static_cast<float>(bufferHeight) / static_cast<float>(monitorHeight);
}

} // namespace render
