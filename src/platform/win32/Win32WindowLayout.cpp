#include "platform/win32/Win32WindowLayout.h"

#include <algorithm>

#include "platform/win32/Win32Dpi.h"

namespace glance::win32 {

RECT controlPixelRect(const WindowLayout& form, const ControlLayout& control, int dpi) {
    int left = twipsToPixels(control.left, dpi);
    int top = twipsToPixels(control.top, dpi);
    if (control.container != ControlId::Window) {
        const auto container =
            std::find_if(form.controls.begin(), form.controls.end(),
                         [&](const ControlLayout& c) { return c.id == control.container; });
        if (container != form.controls.end()) {
            const RECT outer = controlPixelRect(form, *container, dpi);
            left += outer.left;
            top += outer.top;
        }
    }
    return RECT{left, top, left + twipsToPixels(control.width, dpi),
                top + twipsToPixels(control.height, dpi)};
}

SIZE clientPixelSize(const WindowLayout& form, int dpi) {
    return SIZE{twipsToPixels(form.clientWidth, dpi), twipsToPixels(form.clientHeight, dpi)};
}

RECT windowPixelRect(HWND window, const WindowLayout& form, int dpi, const RECT* suggested) {
    const SIZE client = clientPixelSize(form, dpi);
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    const RECT frame = windowRectForClient(client.cx, client.cy, kMainWindowStyle, exStyle, dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    if (suggested != nullptr)
        return RECT{suggested->left, suggested->top, suggested->left + width, suggested->top + height};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& screen = monitor.rcMonitor;
    const int x = screen.left + (screen.right - screen.left - width) / 2;
    const int y = screen.top + (screen.bottom - screen.top - height) / 2;
    return RECT{x, y, x + width, y + height};
}

}  // namespace glance::win32
