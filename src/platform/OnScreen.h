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
// moves onto its own work area (the one it overlaps most, else the nearest).
// With whole, the window must lie wholly inside its own work area. Nothing
// when it can stay where it is.
inline std::optional<ScreenPoint> placeOnScreen(const ScreenRect& window, int captionHeight,
                                                const std::vector<ScreenRect>& workAreas,
                                                bool whole = false) {
    const int grip = std::min(std::max(captionHeight, 1), std::max(window.width(), 1));
    for (const ScreenRect& area : workAreas) {
        const int reach = std::min(window.right, area.right) - std::max(window.left, area.left);
        if (window.top >= area.top && window.top + captionHeight <= area.bottom && reach >= grip && !whole)
            return std::nullopt;
    }
    // Its own area: the largest overlap, else the least gap between the two
    // rectangles (squared, to keep it whole, and counted below any overlap).
    const ScreenRect* home = nullptr;
    std::int64_t best = 0;
    for (const ScreenRect& area : workAreas) {
        if (area.width() <= 0 || area.height() <= 0) continue;
        const std::int64_t across = std::min(window.right, area.right) - std::max(window.left, area.left);
        const std::int64_t down = std::min(window.bottom, area.bottom) - std::max(window.top, area.top);
        const std::int64_t dx = std::max({0, area.left - window.right, window.left - area.right});
        const std::int64_t dy = std::max({0, area.top - window.bottom, window.top - area.bottom});
        const std::int64_t score = across > 0 && down > 0 ? across * down : -(dx * dx + dy * dy);
        if (home == nullptr || score > best) {
            home = &area;
            best = score;
        }
    }
    if (home == nullptr) return std::nullopt;
    // Inside the area where it fits; a window larger than the area keeps its
    // top-left corner (and so its caption) on the area.
    const auto fit = [](int at, int size, int low, int high) {
        return size >= high - low ? low : std::clamp(at, low, high - size);
    };
    const ScreenPoint place{fit(window.left, window.width(), home->left, home->right),
                            fit(window.top, window.height(), home->top, home->bottom)};
    if (place == ScreenPoint{window.left, window.top}) return std::nullopt;
    return place;
}

}  // namespace glance
