// A d3d9.dll whose Direct3DCreate9 fails: put into the system folder and
// preferred by Wine, it is a system without a usable Direct3D 9.
#include <windows.h>

extern "C" __declspec(dllexport) void* WINAPI Direct3DCreate9(UINT) { return nullptr; }
