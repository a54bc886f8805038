// The main window's geometry: its style, and the twip layout turned into
// pixels at a DPI (15 twips per pixel at 96 DPI).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/Ui.h"

namespace glance::win32 {

// The window's style: a fixed single border with a minimize box only.
inline constexpr DWORD kMainWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Where a control lies in the window's client area, in pixels at a DPI. A
// control inside a container is placed relative to the container's corner.
RECT controlPixelRect(const WindowLayout& form, const ControlLayout& control, int dpi);
SIZE clientPixelSize(const WindowLayout& form, int dpi);

// The client size and every control's place (in creation order) at a DPI,
// with room for each check box's label in font, the window's font at that
// DPI, beside its box as the system draws it at glyphDpi (the window's own
// DPI, which may be above the layout's): a box that needs more than its
// designed width takes it, and the boxes after it in its container move
// along. The window keeps its designed size: the frame's right half is free
// for them.
struct PixelLayout {
    SIZE client;
    std::vector<RECT> controls;
};
PixelLayout pixelLayout(const WindowLayout& form, int dpi, HFONT font, int glyphDpi);

// The DPI the layout is drawn at: the window's own, or, where the window at
// that size would not fit the work area (a high scale on a small screen),
// the largest below it at which the whole window, frame (the non-client
// size at the window's DPI) and caption included, fits; never below 96 DPI,
// where the design fits any screen Windows runs on.
int layoutDpiToFit(const WindowLayout& form, int dpi, SIZE frame, SIZE workArea);

// What the border and the caption add to the client size at a DPI.
SIZE framePixelSize(HWND window, int dpi);

// The window's outer rectangle for a client size at a DPI: centred on the
// monitor's screen when no place is suggested, else at the suggested corner.
RECT windowPixelRect(HWND window, SIZE client, int dpi, const RECT* suggested);

}  // namespace glance::win32
