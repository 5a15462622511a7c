// Pictures as plain pixel arrays: captured from the screen, decoded from a
// JPEG through the system's OLE picture support, compared with a tolerance.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, rows from the top

    std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// What the screen shows in `area` (screen coordinates).
std::optional<Image> CaptureScreen(const RECT& area);
// The picture in `bytes` (JPEG, BMP, GIF...) at its own size.
std::optional<Image> DecodePicture(const std::vector<BYTE>& bytes);
// The raw bytes of resource `id` of type `type` in the program file `module`.
std::vector<BYTE> ReadResource(const std::wstring& module, const wchar_t* type, int id);

Image FlipVertically(const Image& image);
// `image` reduced to `columns` x `rows` cells, each the mean colour of its
// pixels: compares pictures scaled by different methods.
Image AverageCells(const Image& image, int columns, int rows);
// The mean absolute difference per colour channel (0 to 255) of two images of one size.
double MeanDifference(const Image& a, const Image& b);
// Writes a 24-bit BMP file, for looking at a failure afterwards.
bool SaveBitmap(const Image& image, const std::wstring& path);

} // namespace e2e
