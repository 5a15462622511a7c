// The reference for the main program's start: the smallest Direct3D 9 program
// that opens a windowed device over the primary monitor and presents one
// cleared frame. It writes when that frame was presented (QueryPerformanceCounter)
// into the block that SORVANE_TEST_STATE names, as the main program does, and
// ends when asked to close.
#include "main_program/app/test_state.h"

#include <windows.h>

#include <d3d9.h>

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"MinimalDirect3D9";
    RegisterClassW(&windowClass);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, L"MinimalDirect3D9", L"", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                  nullptr, nullptr, instance, nullptr);
    HMODULE library = LoadLibraryExW(L"d3d9.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    auto create = library ? reinterpret_cast<decltype(&::Direct3DCreate9)>(
                                reinterpret_cast<void*>(GetProcAddress(library, "Direct3DCreate9")))
                          : nullptr;
    IDirect3D9* d3d = create ? create(D3D_SDK_VERSION) : nullptr;
    if (!d3d) return 1;
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = static_cast<UINT>(width);
    params.BackBufferHeight = static_cast<UINT>(height);
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.hDeviceWindow = window;
    params.Windowed = TRUE;
    params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9* device = nullptr;
    if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                 &params, &device)))
        return 1;
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 64), 1.0f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    LARGE_INTEGER presented;
    QueryPerformanceCounter(&presented);

    wchar_t name[128];
    const DWORD length = GetEnvironmentVariableW(L"SORVANE_TEST_STATE", name, 128);
    if (length > 0 && length < 128) {
        if (HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name)) {
            if (auto* state = static_cast<main_program::TestState*>(
                    MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(main_program::TestState)))) {
                state->processId = GetCurrentProcessId();
                state->firstSceneFrameTicks = static_cast<std::uint64_t>(presented.QuadPart);
                state->magic = main_program::kTestStateMagic;
                UnmapViewOfFile(state);
            }
            CloseHandle(mapping);
        }
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    device->Release();
    d3d->Release();
    return 0;
}
