// The preview window in this process: the picture taken from the
// screensaver's own file, drawn over the whole client area the right way up,
// and the end of the message loop when the window goes.
#include "platform/app_module_win.h"
#include "startup/preview_window_win.h"
#include "tests/wine/screensaver_resources.h"
#include "tests/e2e/driver/pixels.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/windows.h"

#include <gtest/gtest.h>

#include <objbase.h>

namespace {

constexpr UINT kPictureId = 150;

class ComForTest {
public:
    ComForTest() { CoInitialize(nullptr); }
    ~ComForTest() { CoUninitialize(); }
    ComForTest(const ComForTest&) = delete;
    ComForTest& operator=(const ComForTest&) = delete;
};

class Host {
public:
    Host(int width, int height) {
        RECT outer{0, 0, width, height};
        AdjustWindowRect(&outer, WS_POPUP | WS_VISIBLE, FALSE);
        window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 300, 300, outer.right - outer.left,
                                  outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~Host() {
        if (IsWindow(window_)) DestroyWindow(window_);
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    HWND Get() const { return window_; }

private:
    HWND window_;
};

bool QuitPosted() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message == WM_QUIT) return true;
    return false;
}

TEST(PreviewWindow, LoadPictureFailsWhenTheModuleHasNoSuchPicture) {
    ComForTest com;
    CPreviewWnd preview;
    EXPECT_EQ(preview.LoadPicture(kPictureId), E_FAIL) << "this test program holds no picture resource";
    EXPECT_FALSE(preview.HasPicture());
}

TEST(PreviewWindow, DrawsThePictureOverTheWholeClientAreaTheRightWayUp) {
    ComForTest com;
    CPreviewWnd preview;
    {
        ScreensaverResources resources;
        ASSERT_TRUE(resources) << "cannot open " << testing::PrintToString(e2e::ScreensaverPath());
        ASSERT_EQ(preview.LoadPicture(kPictureId), S_OK);
        ASSERT_TRUE(preview.HasPicture());
    }
    const auto picture =
        e2e::DecodePicture(e2e::ReadResource(e2e::ScreensaverPath(), L"JPEGFILE", static_cast<int>(kPictureId)));
    ASSERT_TRUE(picture);

    Host host(152, 112);
    ASSERT_TRUE(host.Get());
    RECT area{};
    GetClientRect(host.Get(), &area);
    ASSERT_TRUE(preview.Create(host.Get(), area, L"", WS_CHILD | WS_VISIBLE));
    UpdateWindow(preview.Handle());

    RECT onScreen{};
    GetWindowRect(preview.Handle(), &onScreen);
    std::optional<e2e::Image> seen;
    e2e::WaitUntil([&] {
        seen = e2e::CaptureScreen(onScreen);
        return seen && e2e::MeanDifference(*seen, *picture) < 1.0;
    }, 10000);
    ASSERT_TRUE(seen);
    const double difference = e2e::MeanDifference(*seen, *picture);
    const double flipped = e2e::MeanDifference(*seen, e2e::FlipVertically(*picture));
    EXPECT_LT(difference, 1.0) << "mean difference from the picture " << difference;
    EXPECT_GT(flipped, 20.0) << "the shown picture matches the picture upside down too well";

    QuitPosted(); // nothing before the window goes
    DestroyWindow(host.Get());
    EXPECT_FALSE(IsWindow(preview.Handle()));
    EXPECT_TRUE(QuitPosted()) << "destroying the preview window must end the message loop";
}

TEST(PreviewWindow, WithoutAPictureTheClassBackgroundShows) {
    ComForTest com;
    CPreviewWnd preview;
    Host host(80, 60);
    RECT area{};
    GetClientRect(host.Get(), &area);
    ASSERT_TRUE(preview.Create(host.Get(), area, L"", WS_CHILD | WS_VISIBLE));
    UpdateWindow(preview.Handle());
    RECT onScreen{};
    GetWindowRect(preview.Handle(), &onScreen);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const std::uint32_t background = (GetRValue(window) << 16) | (GetGValue(window) << 8) | GetBValue(window);
    std::optional<e2e::Image> seen;
    const bool plain = e2e::WaitUntil([&] {
        seen = e2e::CaptureScreen(onScreen);
        if (!seen) return false;
        for (auto pixel : seen->pixels)
            if (pixel != background) return false;
        return true;
    }, 10000);
    EXPECT_TRUE(plain) << "expected every pixel to be the window colour " << std::hex << background;
    DestroyWindow(host.Get());
    QuitPosted();
}

} // namespace
