// Selection of the hardware probe in use.
#include "hardware/hardware_probe.h"

HardwareProbe& DefaultHardware(); // hardware_probe_win.cpp, or below off Windows

namespace {
HardwareProbe* g_override = nullptr;
}

HardwareProbe& Hardware() { return g_override ? *g_override : DefaultHardware(); }

ScopedHardware::ScopedHardware(HardwareProbe& replacement) : previous_(g_override) { g_override = &replacement; }
ScopedHardware::~ScopedHardware() { g_override = previous_; }

#ifndef _WIN32
// Off Windows there is no hardware to ask: every figure is unknown.
HardwareProbe& DefaultHardware() {
    static FixedHardware unknown(0, 0, 0);
    return unknown;
}
#endif
