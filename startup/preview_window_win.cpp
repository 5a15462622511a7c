// The preview window, its picture, and the preview mode's message loop.
#include "startup/preview_window_win.h"

#include "platform/app_module_win.h"
#include "resources/resource_ids.h"
#include "startup/run_modes_win.h"

#include <objbase.h>

#include <cstring>
#include <utility>

namespace {

constexpr const wchar_t* kPictureType = L"JPEGFILE";

// A movable global memory block, freed unless a stream has taken it over.
class GlobalBlock {
public:
    explicit GlobalBlock(SIZE_T size) : block_(GlobalAlloc(GMEM_MOVEABLE, size)) {}
    ~GlobalBlock() {
        if (block_) GlobalFree(block_);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    HGLOBAL Get() const { return block_; }
    void HandOver() { block_ = nullptr; }

private:
    HGLOBAL block_;
};

HINSTANCE ProgramModule() {
    HINSTANCE instance = platform::Module().Instance();
    return instance ? instance : GetModuleHandleW(nullptr);
}

// Copies the resource's bytes into `block`; false when anything is missing.
bool CopyResource(HGLOBAL data, DWORD size, const GlobalBlock& block) {
    const void* bytes = LockResource(data);
    if (!bytes) return false;
    void* target = GlobalLock(block.Get());
    if (!target) return false;
    std::memcpy(target, bytes, size);
    GlobalUnlock(block.Get());
    return true;
}

// Shuts the framework and COM down when the preview mode ends, on every path.
class PreviewSession {
public:
    PreviewSession() { platform::Module().AddMessageLoop(&loop_); }
    ~PreviewSession() {
        platform::Module().RemoveMessageLoop();
        platform::Module().Term();
        CoUninitialize();
    }
    PreviewSession(const PreviewSession&) = delete;
    PreviewSession& operator=(const PreviewSession&) = delete;
    platform::MessageLoop& Loop() { return loop_; }

private:
    platform::MessageLoop loop_;
};

} // namespace

CPreviewWnd::~CPreviewWnd() { ReleasePicture(); }

void CPreviewWnd::ReleasePicture() {
    picture_.Reset();
    pictureWidth_ = 0;
    pictureHeight_ = 0;
}

HRESULT CPreviewWnd::LoadPicture(UINT resourceId) {
    ReleasePicture();
    const HINSTANCE module = ProgramModule();
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(resourceId), kPictureType);
    HGLOBAL data = resource ? LoadResource(module, resource) : nullptr;
    if (!data) return E_FAIL;
    const DWORD size = SizeofResource(module, resource);
    if (size == 0) return E_FAIL;
    GlobalBlock block(size);
    if (!block.Get() || !CopyResource(data, size, block)) return E_FAIL;

    platform::ComPtr<IStream> stream;
    const HRESULT created = CreateStreamOnHGlobal(block.Get(), TRUE, stream.Receive());
    if (FAILED(created)) return created;
    block.HandOver(); // the stream frees it when released

    platform::ComPtr<IPicture> picture;
    if (FAILED(OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_IPicture, picture.ReceiveVoid())) ||
        !picture)
        return E_FAIL;
    picture_ = std::move(picture);
    picture_->get_Width(&pictureWidth_);
    picture_->get_Height(&pictureHeight_);
    return S_OK;
}

void CPreviewWnd::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    RECT client{};
    GetClientRect(Handle(), &client);
    if (picture_ && dc) {
        // The default stretch mode ANDs away the pixels a shrink drops, which
        // darkens the picture and breaks its fine lines.
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        // HIMETRIC grows upwards: starting at the bottom edge with a negative
        // height puts the picture the right way up.
        picture_->Render(dc, 0, 0, client.right - client.left, client.bottom - client.top, 0, pictureHeight_,
                         pictureWidth_, -pictureHeight_, nullptr);
    }
    EndPaint(Handle(), &paint);
}

BOOL CPreviewWnd::ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
    switch (message) {
    case WM_PAINT:
        Paint();
        result = 0;
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        result = 0;
        return TRUE;
    default:
        return FALSE;
    }
}

int RunPreview(HWND parent) {
    PreviewSession session;
    // The window is destroyed with its parent; the object, and with it the
    // picture, goes before COM is shut down.
    CPreviewWnd preview;
    RECT area{};
    if (!IsWindow(parent) || !GetClientRect(parent, &area)) return 0;
    AdjustWindowRect(&area, WS_CHILD | WS_VISIBLE, FALSE);
    if (!preview.Create(parent, area, L"", WS_CHILD | WS_VISIBLE)) return 0;
    preview.LoadPicture(IDR_PREVIEW_PICTURE);
    ShowWindow(preview.Handle(), SW_SHOW);
    session.Loop().Run();
    return 0;
}
