// The frames-per-second counter: the rate it shows, its text, its own bitmap
// font and where each character's quad goes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace render {

// Counts frames and gives the rate over the last half second or more.
class FrameRateCounter {
  public:
    void FrameShown(double nowSeconds);
    // Frames per second, rounded; 0 until the first half second has passed.
    int Rate() const { return rate_; }

  private:
    double windowStart_ = -1;
    int frames_ = 0;
    int rate_ = 0;
};

// "<n> FPS".
std::string CounterText(int rate);

// The font: characters of 5 x 7 pixels side by side in one row of an atlas
// of kFontAtlasWidth x kFontAtlasHeight pixels, each in a cell one pixel wider.
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kFontAtlasWidth = 128;
constexpr int kFontAtlasHeight = 8;
constexpr char kFontCharacters[] = "0123456789FPS.";

// The atlas as one byte per pixel (255 where a glyph is lit), rows from the top.
std::vector<std::uint8_t> FontAtlas();

// One character on screen: its rectangle in back-buffer pixels and its cell
// in the atlas (texture coordinates 0..1).
struct GlyphQuad {
    float left, top, right, bottom;
    float u0, v0, u1, v1;
};

// The quads of `text` with its top left corner at (x, y), each font pixel
// `pixel` back-buffer pixels wide and high; blanks advance, unknown
// characters are left out.
std::vector<GlyphQuad> LayOutText(const std::string& text, float x, float y, float pixel);

// A font pixel's size in back-buffer pixels: 2 monitor pixels at FontScaling
// 50 and 96 DPI, growing linearly with both; the back buffer may be smaller
// than the monitor.
float CounterPixelSize(int fontScaling, std::uint32_t dpi, std::uint32_t bufferHeight, std::uint32_t monitorHeight);

} // namespace render
