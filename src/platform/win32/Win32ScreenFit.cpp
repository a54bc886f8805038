// Win32Window::fitOnScreen: the work areas of the monitors
// there are now, and the window moved onto the nearest one when it cannot be
// reached where it is, or wholly into its own one.
#include "platform/OnScreen.h"
#include "platform/win32/Win32Window.h"

namespace glance::win32 {

namespace {

BOOL CALLBACK addWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM areas) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        const RECT& r = info.rcWork;
        reinterpret_cast<std::vector<ScreenRect>*>(areas)->push_back({r.left, r.top, r.right, r.bottom});
    }
    return TRUE;
}

}  // namespace

void Win32Window::fitOnScreen(bool whole) {
    HWND window = window_.get();
    // A minimized window has no place of its own on a screen; it is checked
    // when it is restored.
    if (IsIconic(window)) return;
    RECT bounds;
    POINT client{0, 0};
    if (!GetWindowRect(window, &bounds) || !ClientToScreen(window, &client)) return;
    std::vector<ScreenRect> areas;
    EnumDisplayMonitors(nullptr, nullptr, &addWorkArea, reinterpret_cast<LPARAM>(&areas));
    // The frame and the caption: everything above the client area.
    const int caption = client.y > bounds.top ? client.y - bounds.top : GetSystemMetrics(SM_CYCAPTION);
    const auto place =
        placeOnScreen({bounds.left, bounds.top, bounds.right, bounds.bottom}, caption, areas, whole);
    if (place)
        SetWindowPos(window, nullptr, place->x, place->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace glance::win32
