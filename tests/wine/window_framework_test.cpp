// The window framework: messages reach the object's message map, modal
// dialogs return their EndDialog result, the final message is seen once.
#include "platform/dialog_win.h"
#include "platform/window_win.h"
#include "test_ids.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT kFinish = WM_APP + 1;

class TestDialogBase : public platform::DialogImpl<TestDialogBase> {
public:
    enum { IDD = IDD_FRAMEWORK_TEST };
    std::vector<const char*> handledBy;
    LPARAM initParam = -1;
    int finalMessages = 0;

    BOOL ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        switch (message) {
        case WM_INITDIALOG:
            initParam = lParam;
            PostMessageW(Handle(), kFinish, 0, 0);
            result = TRUE;
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                handledBy.push_back("base OK");
                EndDialog(42);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
        }
    }
    void OnFinalMessage(HWND) override { ++finalMessages; }
};

// Handles its own messages first and passes the rest to its base.
class TestDialog : public TestDialogBase {
public:
    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == kFinish) {
            handledBy.push_back("derived finish");
            SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(Item(IDOK)));
            return TRUE;
        }
        if (message == WM_COMMAND && LOWORD(wParam) == IDOK) handledBy.push_back("derived saw OK");
        return TestDialogBase::ProcessWindowMessage(window, message, wParam, lParam, result);
    }
};

TEST(WindowFramework, ModalDialogRoutesMessagesDerivedFirstAndReturnsItsResult) {
    TestDialog dialog;
    EXPECT_EQ(dialog.DoModal(nullptr, 7), 42);
    EXPECT_EQ(dialog.initParam, 7);
    EXPECT_EQ(dialog.handledBy, (std::vector<const char*>{"derived finish", "derived saw OK", "base OK"}));
    EXPECT_EQ(dialog.finalMessages, 1);
    EXPECT_EQ(dialog.Handle(), nullptr);
}

TEST(WindowFramework, DialogWithoutTemplateFailsWithoutAttaching) {
    struct Missing : platform::DialogImpl<Missing> {
        enum { IDD = 9999 };
        BOOL ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override { return FALSE; }
    } missing;
    EXPECT_EQ(missing.DoModal(), -1);
    EXPECT_EQ(missing.Handle(), nullptr);
}

class TestWindow : public platform::WindowImpl<TestWindow> {
public:
    int finalMessages = 0;
    BOOL ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
        if (message != kFinish) return FALSE;
        result = static_cast<LRESULT>(wParam) * 2;
        return TRUE;
    }
    void OnFinalMessage(HWND) override { ++finalMessages; }
};

TEST(WindowFramework, WindowHandlesItsMessagesAndPassesTheRestOn) {
    TestWindow window;
    RECT rect{0, 0, 152, 112};
    HWND handle = window.Create(nullptr, rect, L"test", WS_POPUP);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(window.Handle(), handle);
    EXPECT_EQ(SendMessageW(handle, kFinish, 21, 0), 42);
    wchar_t text[16] = {};
    GetWindowTextW(handle, text, 16); // WM_GETTEXT goes to the default procedure
    EXPECT_STREQ(text, L"test");
    wchar_t className[64] = {};
    GetClassNameW(handle, className, 64);
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), className, &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
    EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));

    DestroyWindow(handle);
    EXPECT_EQ(window.finalMessages, 1);
    EXPECT_EQ(window.Handle(), nullptr);
}

} // namespace
