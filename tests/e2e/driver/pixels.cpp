// Capturing, decoding and comparing pictures for the test driver.
#include "tests/e2e/driver/pixels.h"

#include <objbase.h>
#include <olectl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace e2e {
namespace {

class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (object_) object_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* Get() const { return object_; }
    T** Receive() { return &object_; }

private:
    T* object_ = nullptr;
};

class ComSession {
public:
    ComSession() : result_(CoInitialize(nullptr)) {}
    ~ComSession() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComSession(const ComSession&) = delete;
    ComSession& operator=(const ComSession&) = delete;

private:
    HRESULT result_;
};

} // namespace

std::optional<Image> CaptureScreen(const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return std::nullopt;
    ScreenDc screen;
    HDC memory = CreateCompatibleDC(screen.Get());
    BITMAPINFO info = TopDown32(width, height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::optional<Image> result;
    if (memory && bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen.Get(), area.left, area.top, SRCCOPY)) {
            GdiFlush();
            Image image{width, height, std::vector<std::uint32_t>(static_cast<size_t>(width) * height)};
            const auto* source = static_cast<const std::uint32_t*>(bits);
            for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = source[i] & 0xFFFFFF;
            result = std::move(image);
        }
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    return result;
}

std::optional<Image> DecodePicture(const std::vector<BYTE>& bytes) {
    if (bytes.empty()) return std::nullopt;
    ComSession com;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!block) return std::nullopt;
    if (void* target = GlobalLock(block)) {
        std::memcpy(target, bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    ComRef<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.Receive()))) {
        GlobalFree(block);
        return std::nullopt;
    }
    ComRef<IPicture> picture;
    if (FAILED(OleLoadPicture(stream.Get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(picture.Receive()))) ||
        !picture.Get())
        return std::nullopt;
    OLE_HANDLE handle = 0;
    SHORT type = PICTYPE_UNINITIALIZED;
    if (FAILED(picture.Get()->get_Type(&type)) || type != PICTYPE_BITMAP ||
        FAILED(picture.Get()->get_Handle(&handle)))
        return std::nullopt;
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    BITMAP shape{};
    if (!GetObjectW(bitmap, sizeof(shape), &shape)) return std::nullopt;

    Image image{shape.bmWidth, shape.bmHeight,
                std::vector<std::uint32_t>(static_cast<size_t>(shape.bmWidth) * shape.bmHeight)};
    BITMAPINFO info = TopDown32(image.width, image.height);
    ScreenDc screen;
    if (GetDIBits(screen.Get(), bitmap, 0, static_cast<UINT>(image.height), image.pixels.data(), &info,
                  DIB_RGB_COLORS) != image.height)
        return std::nullopt;
    for (auto& pixel : image.pixels) pixel &= 0xFFFFFF;
    return image;
}

std::vector<BYTE> ReadResource(const std::wstring& module, const wchar_t* type, int id) {
    std::vector<BYTE> bytes;
    HMODULE file = LoadLibraryExW(module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!file) return bytes;
    if (HRSRC resource = FindResourceW(file, MAKEINTRESOURCEW(id), type)) {
        const DWORD size = SizeofResource(file, resource);
        HGLOBAL data = LoadResource(file, resource);
        const void* start = data ? LockResource(data) : nullptr;
        if (start && size) bytes.assign(static_cast<const BYTE*>(start), static_cast<const BYTE*>(start) + size);
    }
    FreeLibrary(file);
    return bytes;
}

Image FlipVertically(const Image& image) {
    Image flipped = image;
    for (int y = 0; y < image.height; ++y)
        std::memcpy(&flipped.pixels[static_cast<size_t>(y) * image.width],
                    &image.pixels[static_cast<size_t>(image.height - 1 - y) * image.width],
                    sizeof(std::uint32_t) * image.width);
    return flipped;
}

Image AverageCells(const Image& image, int columns, int rows) {
    Image cells{columns, rows, std::vector<std::uint32_t>(static_cast<size_t>(columns) * rows)};
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            const int left = column * image.width / columns, right = (column + 1) * image.width / columns;
            const int top = row * image.height / rows, bottom = (row + 1) * image.height / rows;
            unsigned long long sum[3] = {0, 0, 0}, count = 0;
            for (int y = top; y < bottom; ++y)
                for (int x = left; x < right; ++x, ++count)
                    for (int channel = 0; channel < 3; ++channel)
                        sum[channel] += (image.At(x, y) >> (8 * channel)) & 0xFF;
            std::uint32_t mean = 0;
            for (int channel = 0; channel < 3 && count; ++channel)
                mean |= static_cast<std::uint32_t>(sum[channel] / count) << (8 * channel);
            cells.pixels[static_cast<size_t>(row) * columns + column] = mean;
        }
    return cells;
}

double MeanDifference(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.empty()) return 255.0;
    double total = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8)
            total += std::abs(static_cast<int>((a.pixels[i] >> shift) & 0xFF) -
                              static_cast<int>((b.pixels[i] >> shift) & 0xFF));
    return total / (3.0 * static_cast<double>(a.pixels.size()));
}

bool SaveBitmap(const Image& image, const std::wstring& path) {
    const DWORD stride = (static_cast<DWORD>(image.width) * 3 + 3) & ~3u;
    std::vector<BYTE> rows(static_cast<size_t>(stride) * image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t pixel = image.At(x, y);
            BYTE* out = &rows[static_cast<size_t>(image.height - 1 - y) * stride + static_cast<size_t>(x) * 3];
            out[0] = pixel & 0xFF;
            out[1] = (pixel >> 8) & 0xFF;
            out[2] = (pixel >> 16) & 0xFF;
        }
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = image.width;
    header.biHeight = image.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(rows.size());
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return false;
    bool saved = fwrite(&file, sizeof(file), 1, out) == 1 && fwrite(&header, sizeof(header), 1, out) == 1 &&
                 fwrite(rows.data(), rows.size(), 1, out) == 1;
    saved = fclose(out) == 0 && saved;
    return saved;
}

} // namespace e2e
