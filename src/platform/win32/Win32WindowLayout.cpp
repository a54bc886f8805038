#include "platform/win32/Win32WindowLayout.h"

#include <algorithm>

#include "platform/win32/LazyImports.h"
#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

RECT controlPixelRect(const WindowLayout& form, const ControlLayout& control, int dpi) {
    int left = twipsToPixels(control.left, dpi);
    int top = twipsToPixels(control.top, dpi);
    for (const ControlLayout& container : form.controls) {
        if (control.container == ControlId::Window || container.id != control.container) continue;
        const RECT outer = controlPixelRect(form, container, dpi);
        left += outer.left;
        top += outer.top;
        break;
    }
    return RECT{left, top, left + twipsToPixels(control.width, dpi),
                top + twipsToPixels(control.height, dpi)};
}

SIZE clientPixelSize(const WindowLayout& form, int dpi) {
    return SIZE{twipsToPixels(form.clientWidth, dpi), twipsToPixels(form.clientHeight, dpi)};
}

namespace {

// The width a check box needs to show its whole label in the font selected
// into dc: the box glyph, then a gap of about half a character before the
// text, and the focus rectangle's pixel around it.
int checkBoxWidthNeeded(HDC dc, const std::wstring& label, int dpi, int glyphDpi) {
    SIZE text{};
    GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &text);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    return systemMetricForDpi(SM_CXMENUCHECK, glyphDpi) + metrics.tmAveCharWidth / 2 + text.cx +
           2 * scaleFrom96(1, dpi);
}

}  // namespace

PixelLayout pixelLayout(const WindowLayout& form, int dpi, HFONT font, int glyphDpi) {
    PixelLayout pixels{clientPixelSize(form, dpi), std::vector<RECT>(form.controls.size())};
    HDC dc = GetDC(nullptr);
    {
        const SelectedObject selected(dc, font);
        ControlId row = ControlId::Window;
        int shift = 0;
        for (std::size_t i = 0; i < form.controls.size(); ++i) {
            const ControlLayout& control = form.controls[i];
            RECT& rect = pixels.controls[i] = controlPixelRect(form, control, dpi);
            if (control.kind != ControlKind::CheckBox) continue;
            // The boxes of one container form a row, in creation order; the
            // gaps between them stay as designed.
            if (control.container != row) shift = 0;
            row = control.container;
            OffsetRect(&rect, shift, 0);
            const int width = static_cast<int>(rect.right - rect.left);
            const int grow =
                std::max(0, checkBoxWidthNeeded(dc, widenUtf8(control.caption), dpi, glyphDpi) - width);
            rect.right += grow;
            shift += grow;
        }
    }
    ReleaseDC(nullptr, dc);
    return pixels;
}

int layoutDpiToFit(const WindowLayout& form, int dpi, SIZE frame, SIZE workArea) {
    int fitting = dpi;
    while (fitting > kDefaultDpi) {
        const SIZE client = clientPixelSize(form, fitting);
        if (client.cx + frame.cx <= workArea.cx && client.cy + frame.cy <= workArea.cy) break;
        --fitting;
    }
    return fitting;
}

SIZE framePixelSize(HWND window, int dpi) {
    // The frame at the window's DPI (AdjustWindowRectExForDpi: Windows 10 1607),
    // else at the system's.
    const auto adjustForDpi = lazy::user32().AdjustWindowRectExForDpi;
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    RECT frame{0, 0, 0, 0};
    if (adjustForDpi == nullptr ||
        !adjustForDpi(&frame, kMainWindowStyle, FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&frame, kMainWindowStyle, FALSE, exStyle);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

RECT windowPixelRect(HWND window, SIZE client, int dpi, const RECT* suggested) {
    const SIZE frame = framePixelSize(window, dpi);
    const int width = client.cx + frame.cx;
    const int height = client.cy + frame.cy;
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
