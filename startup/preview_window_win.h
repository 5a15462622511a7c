// Preview mode: the product's picture stretched over the Display control
// panel's preview area until the system destroys that area.
#pragma once

#include "platform/com_objects_win.h"
#include "platform/window_win.h"

#include <windows.h>
#include <olectl.h>

class CPreviewWnd : public platform::WindowImpl<CPreviewWnd> {
public:
    CPreviewWnd() = default;
    ~CPreviewWnd() override;
    CPreviewWnd(const CPreviewWnd&) = delete;
    CPreviewWnd& operator=(const CPreviewWnd&) = delete;

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Decodes the JPEG resource `resourceId` of type "JPEGFILE" of the
    // program's module with the system's OLE picture support. S_OK, E_FAIL or
    // the error of CreateStreamOnHGlobal; a picture loaded before is dropped.
    HRESULT LoadPicture(UINT resourceId);
    bool HasPicture() const { return static_cast<bool>(picture_); }

private:
    void ReleasePicture();
    void Paint();

    platform::ComPtr<IPicture> picture_;
    OLE_XSIZE_HIMETRIC pictureWidth_ = 0;
    OLE_YSIZE_HIMETRIC pictureHeight_ = 0;
};
