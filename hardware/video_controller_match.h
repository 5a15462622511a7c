// Which of the video controllers that WMI lists is the display adapter whose
// memory is wanted.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// `pnpDeviceIds` holds each listed controller's PNPDeviceID, or nothing when
// the property could not be read as a text. `deviceId` is the adapter's PnP
// device identifier, empty when it could not be found.
//
// With an identifier: the first controller whose PNPDeviceID contains it
// (case-sensitive), or none.
// Without one: the only controller, if the listing is complete and holds
// exactly one (then it drives every monitor, whichever was chosen); with
// several controllers the choice would be a guess, so none. An empty
// identifier never acts as a substring that every controller contains.
std::optional<std::size_t> MatchVideoController(const std::vector<std::optional<std::wstring>>& pnpDeviceIds,
                                                const std::wstring& deviceId, bool listingComplete);
