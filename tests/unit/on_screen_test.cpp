// Where a window goes after the screens changed: it stays when its caption
// can be reached on a work area, else it moves onto the nearest one, whole.
// At start and after a change of scale it must lie wholly on its own one.
#include <gtest/gtest.h>

#include "platform/OnScreen.h"

namespace glance {
namespace {

TEST(OnScreen, WindowWhoseCaptionCannotBeReachedMovesOntoTheNearestWorkAreaKeepingItsSize) {
    const ScreenRect primary{0, 0, 1920, 1040}, right{1920, 0, 3200, 984};
    constexpr int kCaption = 30;
    struct Case {
        const char* name;
        ScreenRect window;
        std::vector<ScreenRect> areas;
        std::optional<ScreenPoint> expected;
        bool whole = false;
    };
    const ScreenRect small{0, 0, 1024, 738};  // 1024 x 768 less the taskbar
    const Case cases[] = {
        {"on the screen", {100, 100, 500, 400}, {primary}, std::nullopt},
        {"partly off, caption reachable", {1800, 900, 2200, 1300}, {primary}, std::nullopt},
        {"across two screens", {1700, 50, 2300, 350}, {primary, right}, std::nullopt},
        {"on a monitor now gone, left", {-1500, 200, -1100, 500}, {primary}, ScreenPoint{0, 200}},
        {"on a monitor now gone, right", {2500, 100, 2900, 400}, {primary}, ScreenPoint{1520, 100}},
        {"only a sliver of the caption", {1910, 100, 2310, 400}, {primary}, ScreenPoint{1520, 100}},
        {"caption above the top", {100, -20, 500, 280}, {primary}, ScreenPoint{100, 0}},
        {"caption under the taskbar", {100, 1030, 500, 1330}, {primary}, ScreenPoint{100, 740}},
        {"larger than the screen", {-3000, -3000, 0, 0}, {primary}, ScreenPoint{0, 0}},
        {"nearest of two", {3300, 100, 3700, 400}, {primary, right}, ScreenPoint{2800, 100}},
        {"no screen known", {-5000, 0, -4000, 100}, {}, std::nullopt},
        {"whole: partly off, caption reachable",
         {1800, 900, 2200, 1300},
         {primary},
         ScreenPoint{1520, 640},
         true},
        {"whole: wider than the area, 192 DPI", {-27, 200, 1051, 600}, {small}, ScreenPoint{0, 200}, true},
        {"whole: taller than the area", {100, -50, 500, 900}, {small}, ScreenPoint{100, 0}, true},
        {"whole: onto the screen it overlaps most",
         {1700, 50, 2300, 350},
         {primary, right},
         ScreenPoint{1920, 50},
         true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(placeOnScreen(c.window, kCaption, c.areas, c.whole), c.expected) << c.name;
}

}  // namespace
}  // namespace glance
