// Stands in for a Direct3D 11 driver that never answers: put in the system
// folder as d3d11.dll, its D3D11CreateDevice blocks its caller for good.
#include <windows.h>

extern "C" HRESULT WINAPI D3D11CreateDevice(void*, int, HMODULE, UINT, const void*, UINT, UINT, void**, void*,
                                            void**) {
    for (;;) Sleep(INFINITE);
}
