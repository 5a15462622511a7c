// Which WMI video controller stands for the display adapter.
#include "hardware/video_controller_match.h"

#include <gtest/gtest.h>

namespace {

using Ids = std::vector<std::optional<std::wstring>>;

const std::wstring kNvidia = L"PCI\\VEN_10DE&DEV_06CD&SUBSYS_079F10DE&REV_A3\\4&1A2B3C4D&0&0010";
const std::wstring kAmd = L"PCI\\VEN_1002&DEV_687F&SUBSYS_0B361002&REV_C1\\4&2B3C4D5E&0&0008";

TEST(VideoControllerMatch, ChoosesTheControllerWhoseIdentifierContainsTheAdapters) {
    const struct {
        const char* what;
        Ids ids;
        std::wstring deviceId;
        bool complete;
        std::optional<std::size_t> expected;
    } cases[] = {
        {"second of two", {kNvidia, kAmd}, L"PCI\\VEN_1002&DEV_687F&SUBSYS_0B361002&REV_C1", true, 1},
        {"first of two", {kNvidia, kAmd}, L"PCI\\VEN_10DE&DEV_06CD", true, 0},
        {"both contain it: the first wins", {kNvidia, kNvidia}, L"VEN_10DE", true, 0},
        {"case-sensitive", {kNvidia}, L"pci\\ven_10de&dev_06cd", true, std::nullopt},
        {"no controller contains it", {kNvidia, kAmd}, L"PCI\\VEN_0000&DEV_0000", true, std::nullopt},
        {"a controller without a readable identifier is passed over", {std::nullopt, kAmd}, L"VEN_1002", true, 1},
        {"a listing cut short still matches", {kNvidia}, L"VEN_10DE", false, 0},
        {"nothing listed", {}, L"VEN_10DE", true, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchVideoController(c.ids, c.deviceId, c.complete), c.expected) << c.what;
}

TEST(VideoControllerMatch, WithoutAnIdentifierOnlyASoleControllerIsTaken) {
    const struct {
        const char* what;
        Ids ids;
        bool complete;
        std::optional<std::size_t> expected;
    } cases[] = {
        {"the only controller drives every monitor", {kNvidia}, true, 0},
        {"even when its own identifier is unreadable", {std::nullopt}, true, 0},
        {"two controllers: no guess", {kNvidia, kAmd}, true, std::nullopt},
        // An empty text is a substring of every identifier; it must not pick
        // the first of several controllers.
        {"two controllers, one unreadable", {std::nullopt, kAmd}, true, std::nullopt},
        {"one listed but the listing timed out", {kNvidia}, false, std::nullopt},
        {"nothing listed", {}, true, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchVideoController(c.ids, L"", c.complete), c.expected) << c.what;
}

} // namespace
