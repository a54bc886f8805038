// Whether a window can be reached on the screens there are now, and where it
// goes when it cannot: after a monitor was unplugged, a dock removed or the
// resolution lowered, a window restored to its old place may be off every
// screen. Plain geometry, so that the rule is the same on every platform.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace glance {

struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

struct ScreenPoint {
    int x = 0, y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// The new top-left corner of window (keeping its size) when its caption strip
// (the top captionHeight pixels) does not lie, over its full height and at
// least a caption's height wide, in one of the work areas: the window then
// moves onto the nearest work area. Nothing when it can stay where it is.
inline std::optional<ScreenPoint> placeOnScreen(const ScreenRect& window, int captionHeight,
                                                const std::vector<ScreenRect>& workAreas) {
    const int grip = std::min(std::max(captionHeight, 1), std::max(window.width(), 1));
    for (const ScreenRect& area : workAreas) {
        const int reach = std::min(window.right, area.right) - std::max(window.left, area.left);
        if (window.top >= area.top && window.top + captionHeight <= area.bottom && reach >= grip)
            return std::nullopt;
    }
    // Nearest: the least gap between the two rectangles (squared, to keep it whole).
    const ScreenRect* nearest = nullptr;
    std::int64_t nearestGap = 0;
    for (const ScreenRect& area : workAreas) {
        if (area.width() <= 0 || area.height() <= 0) continue;
        const std::int64_t dx = std::max({0, area.left - window.right, window.left - area.right});
        const std::int64_t dy = std::max({0, area.top - window.bottom, window.top - area.bottom});
        const std::int64_t gap = dx * dx + dy * dy;
        if (nearest == nullptr || gap < nearestGap) {
            nearest = &area;
            nearestGap = gap;
        }
    }
    if (nearest == nullptr) return std::nullopt;
    // Inside the area where it fits; a window larger than the area keeps its
    // top-left corner (and so its caption) on the area.
    const auto fit = [](int at, int size, int low, int high) {
        return size >= high - low ? low : std::clamp(at, low, high - size);
    };
    return ScreenPoint{fit(window.left, window.width(), nearest->left, nearest->right),
                       fit(window.top, window.height(), nearest->top, nearest->bottom)};
}

}  // namespace glance
