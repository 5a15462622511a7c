// Preview mode end to end: the screensaver puts its picture into a preview
// area that the driver owns, fills it, keeps its size, and ends when the area
// is destroyed.
#include "tests/e2e/driver/pixels.h"
#include "tests/e2e/driver/preview_host.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/windows.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Generous: deadlines only catch a hang.
constexpr DWORD kDeadline = 15000;
constexpr int kPictureId = 150;

std::string Show(const RECT& r) {
    char text[96];
    std::snprintf(text, sizeof(text), "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::optional<e2e::Image> ThePicture() {
    return e2e::DecodePicture(e2e::ReadResource(e2e::ScreensaverPath(), L"JPEGFILE", kPictureId));
}

// A running preview in a host area of the given size.
struct RunningPreview {
    e2e::PreviewHost host;
    e2e::Process saver;
    HWND child = nullptr;

    RunningPreview(int width, int height) : host(width, height) {
        saver = e2e::Process::Screensaver(L"/p " + host.Number());
        child = e2e::WaitForChildOf(host.Window(), saver.Id(), kDeadline);
        // Found while it is being made, it is shown only once made.
        if (child) e2e::WaitUntil([&] { return IsWindowVisible(child) != FALSE; }, kDeadline);
    }
};

TEST(PreviewPicture, IsABaselineJpegOf152By112Pixels) {
    const auto bytes = e2e::ReadResource(e2e::ScreensaverPath(), L"JPEGFILE", kPictureId);
    ASSERT_GE(bytes.size(), 4u) << "no resource JPEGFILE " << kPictureId;
    ASSERT_EQ(bytes[0], 0xFF);
    ASSERT_EQ(bytes[1], 0xD8) << "not a JPEG file";
    // Walk the segments up to the frame header: SOF0 marks a baseline frame.
    size_t at = 2;
    int frameMarker = 0, width = 0, height = 0;
    while (at + 9 < bytes.size() && bytes[at] == 0xFF) {
        const int marker = bytes[at + 1];
        const size_t length = static_cast<size_t>(bytes[at + 2]) << 8 | bytes[at + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            frameMarker = marker;
            height = bytes[at + 5] << 8 | bytes[at + 6];
            width = bytes[at + 7] << 8 | bytes[at + 8];
            break;
        }
        at += 2 + length;
    }
    EXPECT_EQ(frameMarker, 0xC0) << "the frame is not baseline (SOF0)";
    EXPECT_EQ(width, 152);
    EXPECT_EQ(height, 112);
    const auto decoded = e2e::DecodePicture(bytes);
    ASSERT_TRUE(decoded) << "the system cannot decode the picture";
    EXPECT_EQ(decoded->width, 152);
    EXPECT_EQ(decoded->height, 112);
}

TEST(PreviewWindow, CoversTheAreaKeepsItsSizeAndEndsWithTheArea) {
    RunningPreview preview(152, 112);
    ASSERT_TRUE(preview.saver.Started());
    ASSERT_TRUE(preview.child) << "no preview window appeared in the area; the screensaver "
                               << (preview.saver.Running() ? "still runs" : "has ended");
    const LONG_PTR style = GetWindowLongPtrW(preview.child, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
    RECT placed{};
    GetWindowRect(preview.child, &placed);
    const RECT area = preview.host.ClientOnScreen();
    EXPECT_TRUE(placed == area) << "expected the preview at " << Show(area) << ", got " << Show(placed);
    EXPECT_EQ(e2e::WindowText(preview.child), L"");

    preview.host.Resize(260, 180);
    ASSERT_TRUE(e2e::WaitUntil([&] {
        const RECT grown = preview.host.ClientOnScreen();
        return grown.right - grown.left == 260;
    }, kDeadline));
    RECT after{};
    GetWindowRect(preview.child, &after);
    EXPECT_TRUE(after == placed) << "the preview followed the area's new size: " << Show(after);
    EXPECT_TRUE(preview.saver.Running());

    preview.host.Destroy();
    ASSERT_TRUE(preview.saver.WaitForExit(kDeadline)) << "the screensaver outlived its preview area";
    EXPECT_EQ(preview.saver.ExitCode(), 0u);
    std::printf("[ time     ] the preview ended %.0f ms after its start\n", preview.saver.ElapsedMilliseconds());
}

struct PictureCase {
    const char* name;
    int width;
    int height;
    // Mean difference per channel (0 to 255) allowed between what is shown
    // and the picture, both taken as 16 x 8 cells of mean colour unless
    // they are of one size (scaling methods differ in the pixels they pick,
    // not in the colour of a region).
    double tolerance;
};

constexpr int kCellColumns = 16, kCellRows = 8;

double Difference(const e2e::Image& shown, const e2e::Image& picture) {
    if (shown.width == picture.width && shown.height == picture.height) return e2e::MeanDifference(shown, picture);
    return e2e::MeanDifference(e2e::AverageCells(shown, kCellColumns, kCellRows),
                               e2e::AverageCells(picture, kCellColumns, kCellRows));
}

void PrintTo(const PictureCase& c, std::ostream* out) { *out << c.name; }

class PreviewShows : public ::testing::TestWithParam<PictureCase> {};

// Windows of another process inside ours are not drawn under Wine, so the
// preview is moved onto the desktop to be looked at, and put back afterwards.
TEST_P(PreviewShows, ThePictureStretchedOverTheWholeAreaTheRightWayUp) {
    const PictureCase& c = GetParam();
    const auto picture = ThePicture();
    ASSERT_TRUE(picture) << "the picture resource cannot be decoded";
    const e2e::Image& expected = *picture;
    const e2e::Image upsideDown = e2e::FlipVertically(expected);

    RunningPreview preview(c.width, c.height);
    ASSERT_TRUE(preview.child) << "no preview window appeared";
    SetParent(preview.child, nullptr);
    SetWindowPos(preview.child, HWND_TOP, 600, 400, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    RECT shown{};
    std::optional<e2e::Image> seen;
    // Repainting at the new place takes a moment: wait for the picture, and
    // judge the last capture when it does not come.
    e2e::WaitUntil([&] {
        GetWindowRect(preview.child, &shown);
        seen = e2e::CaptureScreen(shown);
        return seen && seen->width == c.width && Difference(*seen, expected) <= c.tolerance;
    }, kDeadline);
    ASSERT_TRUE(seen) << "nothing could be captured at " << Show(shown);
    e2e::SaveBitmap(*seen, e2e::ArtifactsFolder() + L"\\preview-" + std::to_wstring(c.width) + L"x" +
                               std::to_wstring(c.height) + L".bmp");
    ASSERT_EQ(seen->width, c.width);
    ASSERT_EQ(seen->height, c.height);
    const double difference = Difference(*seen, expected);
    const double flippedDifference = Difference(*seen, upsideDown);
    std::printf("[ pixels   ] %dx%d: mean difference %.2f, from the picture upside down %.2f\n", c.width, c.height,
                difference, flippedDifference);
    EXPECT_LE(difference, c.tolerance) << "the preview does not show the picture";
    EXPECT_LT(difference * 4, flippedDifference) << "the picture is upside down, or not there at all";

    SetParent(preview.child, preview.host.Window());
    preview.host.Destroy();
    ASSERT_TRUE(preview.saver.WaitForExit(kDeadline));
    EXPECT_EQ(preview.saver.ExitCode(), 0u);
}

const PictureCase kSizes[] = {
    {"PixelForPixel", 152, 112, 1.0},
    {"Enlarged", 320, 240, 8.0},
    {"ShrunkAndSquashed", 97, 61, 8.0},
    {"Widened", 300, 112, 8.0},
};

INSTANTIATE_TEST_SUITE_P(Sizes, PreviewShows, ::testing::ValuesIn(kSizes),
                         [](const testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.name); });

} // namespace
