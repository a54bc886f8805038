#include "platform/win32/Win32UiGraphics.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <string>

namespace glance::win32 {

namespace {

// Entry points newer than the Windows 7 baseline, looked up once.
template <class Function>
Function user32Function(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

}  // namespace

int dpiForWindow(HWND window) {
    static const auto getDpiForWindow = user32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0) return static_cast<int>(dpi);
    }
    return systemDpi();
}

int systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : kDefaultDpi;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDefaultDpi;
}

int systemMetricForDpi(int metric, int dpi) {
    static const auto forDpi = user32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (forDpi != nullptr) {
        if (const int value = forDpi(metric, static_cast<UINT>(dpi)); value > 0) return value;
    }
    return MulDiv(GetSystemMetrics(metric), dpi, systemDpi());
}

RECT windowRectForClient(int width, int height, DWORD style, DWORD exStyle, int dpi) {
    static const auto adjustForDpi = user32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, width, height};
    if (adjustForDpi == nullptr || !adjustForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return rect;
}

COLORREF resolveColour(Colour colour) {
    if (colour & 0x80000000u) return GetSysColor(static_cast<int>(colour & 0xFFu));
    return static_cast<COLORREF>(colour & 0x00FFFFFFu);
}

COLORREF mixColours(COLORREF from, COLORREF to, int amount) {
    const auto mix = [amount](int a, int b) { return a + (b - a) * amount / 255; };
    return RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
               mix(GetBValue(from), GetBValue(to)));
}

UniqueHfont createFont(const FontStyle& design, int dpi) {
    LOGFONTW font{};
    // Hundredths of a point keep fractional sizes such as 11.25 exact.
    const int centipoints = static_cast<int>(std::lround(design.points * 100));
    font.lfHeight = -MulDiv(centipoints, dpi, 72 * 100);
    font.lfWeight = design.bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = static_cast<BYTE>(design.charset);
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfQuality = CLEARTYPE_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    const std::wstring face = widenUtf8(design.face);
    lstrcpynW(font.lfFaceName, face.c_str(), LF_FACESIZE);
    return UniqueHfont(CreateFontIndirectW(&font));
}

void ColourBrush::set(Colour colour) {
    colour_ = colour;
    if (colour & 0x80000000u) {
        owned_.reset();
        shared_ = GetSysColorBrush(static_cast<int>(colour & 0xFFu));
    } else {
        owned_.reset(CreateSolidBrush(resolveColour(colour)));
        shared_ = nullptr;
    }
}

void moveFocusOnTab(HWND control) {
    const bool back = GetKeyState(VK_SHIFT) < 0;
    if (HWND next = GetNextDlgTabItem(GetParent(control), control, back ? TRUE : FALSE)) SetFocus(next);
    // The keyboard is in use: focus cues show from now on.
    SendMessageW(GetAncestor(control, GA_ROOT), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

void noteCallbackFailure(const char* where) noexcept {
    // A fixed buffer: noting a failure must not fail in turn (out of memory).
    char text[512] = "GlanceRefresher: failure in ";
    const char* what = "";
    try {
        throw;
    } catch (const std::exception& failure) {
        what = failure.what();
    } catch (...) {
    }
    // Joined by hand: the printf family would link a formatter of its own.
    std::size_t used = std::strlen(text);
    for (const char* part : {where, *what ? ": " : "", what, "\n"})
        for (; *part && used + 1 < sizeof text; ++part) text[used++] = *part;
    text[used] = '\0';
    OutputDebugStringA(text);
}

}  // namespace glance::win32
