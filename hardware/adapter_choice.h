// Which Direct3D 9 adapter the video memory is measured on: the one of the
// monitor chosen in the settings (CurMonitor), else adapter 0.
#pragma once

#include <cstdint>
#include <string>

// The number stored in a CurMonitor text: from its third character on, leading
// white space, an optional sign, then decimal digits up to the first
// non-digit. No digits, or a text shorter than 2 characters, give 0; numbers
// beyond the 32-bit range are held at its ends.
std::int32_t ParseCurMonitorNumber(const std::wstring& text);

// The adapter ordinal for a CurMonitor number: the number taken as unsigned,
// or 0 when that is greater than adapterCount - 1 (unsigned arithmetic, so a
// negative number gives 0). With no adapters at all every number passes;
// there is then no adapter to ask, and the caller must not use the ordinal.
std::uint32_t ChooseAdapterOrdinal(std::int32_t number, std::uint32_t adapterCount);

// Reads CurMonitor from the product key (64-bit view) and chooses the adapter;
// a missing or unreadable value gives adapter 0.
std::uint32_t AdapterFromCurMonitor(std::uint32_t adapterCount);
