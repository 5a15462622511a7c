// Video memory of the display adapter that drives the monitor chosen in the
// settings: Direct3D 9 names the monitor, WMI gives that adapter's memory,
// DirectDraw's total for the primary display driver is the fallback.
#pragma once

#include <windows.h>

#include <cstddef>

// Bytes of video memory; 0 when no method succeeds.
DWORD QueryVideoMemory();

// The monitor of the Direct3D 9 adapter that CurMonitor selects (adapter 0
// when it selects none). False when Direct3D 9 is unavailable or lists no
// adapter.
bool MonitorOfChosenAdapter(HMONITOR& monitor);

// The PnP device identifier of the display adapter that drives `monitor`, as
// a NUL-terminated text of at most capacity - 1 units. False when the adapter
// or its identifier cannot be found, or the identifier does not fit.
bool DeviceIdFromMonitor(HMONITOR monitor, wchar_t* buffer, std::size_t capacity);

// The AdapterRAM of the WMI video controller that stands for the adapter of
// `monitor` (see MatchVideoController). `bytes` is 0 unless that was read.
bool VideoMemoryFromWmi(HMONITOR monitor, DWORD& bytes);

// DirectDraw's total video memory for the primary display driver; 0 on failure.
DWORD VideoMemoryFromDirectDraw();
