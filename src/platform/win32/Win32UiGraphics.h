// Helpers shared by the main window and its controls: DPI queries, twips to
// pixels, colour values to COLORREF, fonts from a FontStyle, keyboard focus
// moves, and the edge of every window procedure that no exception may cross.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/Types.h"
#include "platform/Ui.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Text.h"

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

// The window rectangle whose client area is width x height at the given DPI.
RECT windowRectForClient(int width, int height, DWORD style, DWORD exStyle, int dpi);

// 0x00BBGGRR as is; with the top bit set, the system colour it names.
COLORREF resolveColour(Colour colour);

// The font at the window's DPI: lfHeight is the negative em height in pixels.
UniqueHfont createFont(const FontStyle& design, int dpi);

// A solid brush for a colour value; system colours use the shared system
// brush, which follows the user's colour scheme and is never deleted.
class ColourBrush {
public:
    explicit ColourBrush(Colour colour = kWhite) { set(colour); }
    void set(Colour colour);
    Colour colour() const { return colour_; }
    HBRUSH get() const { return owned_ ? owned_.get() : shared_; }

private:
    Colour colour_ = kWhite;
    UniqueHbrush owned_;
    HBRUSH shared_ = nullptr;
};

// Selects a GDI object into a device context for the owner's lifetime and
// puts the one it replaced back on destruction, so painting code has no
// restore paths of its own. Declare in the order of selection: the owners
// restore in reverse.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The user's high-contrast setting is on.
bool highContrastOn();

// Tab and Shift+Tab on a control: focus moves to the next or previous tab
// stop of its parent, whether or not the message loop runs a dialog manager.
void moveFocusOnTab(HWND control);

// The catch at the edge of a window procedure: writes the failure in flight
// to the diagnostic channel, so that the message counts as handled and the
// system's call returns normally.
void noteCallbackFailure(const char* where) noexcept;

}  // namespace glance::win32
