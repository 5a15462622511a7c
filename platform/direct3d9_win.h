// The Direct3D 9 object, its library loaded by name from the system folder: a
// system without Direct3D 9 gets no object instead of a program that cannot
// start.
#pragma once

#include "platform/com_objects_win.h"
#include "platform/library_win.h"

#include <d3d9.h>

namespace platform {

class Direct3D9 {
public:
    Direct3D9() : library_(L"d3d9.dll") {
        if (auto create = library_.Function<decltype(&::Direct3DCreate9)>("Direct3DCreate9"))
            object_ = ComPtr<IDirect3D9>(create(D3D_SDK_VERSION));
    }
    IDirect3D9* operator->() const { return object_.Get(); }
    IDirect3D9* Get() const { return object_.Get(); }
    explicit operator bool() const { return static_cast<bool>(object_); }

private:
    Library library_; // declared first, so freed after the object is released
    ComPtr<IDirect3D9> object_;
};

} // namespace platform
