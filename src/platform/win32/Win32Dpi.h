// Sizes at a DPI for the main window and its controls: DPI queries, twips and
// 96-DPI pixels to pixels, and fonts at a DPI.
#pragma once

#include <windows.h>

#include "platform/Ui.h"
#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDefaultDpi = 96;

// The DPI the window is drawn at: its monitor's under per-monitor awareness,
// the system's otherwise (GetDpiForWindow needs Windows 10 1607).
int dpiForWindow(HWND window);
// The DPI of the screen when the process started, which GetSystemMetrics
// answers for.
int systemDpi();
// A system metric (SM_CXSMICON...) at a DPI; before Windows 10 1607, the
// system's value scaled from the system DPI.
int systemMetricForDpi(int metric, int dpi);

// Rounded to the nearest pixel, as MulDiv rounds.
inline int twipsToPixels(int twips, int dpi) {
    return MulDiv(twips, dpi, kTwipsPerInch);
}
// A length designed in pixels at 96 DPI, at another DPI (at least 1).
inline int scaleFrom96(int pixels, int dpi) {
    const int scaled = MulDiv(pixels, dpi, kDefaultDpi);
    return scaled > 0 ? scaled : 1;
}

// The font at the window's DPI: lfHeight is the negative em height in pixels.
UniqueHfont createFont(const FontStyle& design, int dpi);

}  // namespace glance::win32
