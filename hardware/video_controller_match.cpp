// The choice of the WMI video controller that stands for a display adapter.
#include "hardware/video_controller_match.h"

std::optional<std::size_t> MatchVideoController(const std::vector<std::optional<std::wstring>>& pnpDeviceIds,
                                                const std::wstring& deviceId, bool listingComplete) {
    if (deviceId.empty()) {
        if (listingComplete && pnpDeviceIds.size() == 1) return 0;
        return std::nullopt;
    }
    for (std::size_t i = 0; i < pnpDeviceIds.size(); ++i) {
        if (pnpDeviceIds[i] && pnpDeviceIds[i]->find(deviceId) != std::wstring::npos) return i;
    }
    return std::nullopt;
}
