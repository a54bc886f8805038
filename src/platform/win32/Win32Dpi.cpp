#include "platform/win32/Win32Dpi.h"

#include <cmath>
#include <string>

#include "platform/win32/LazyImports.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

int dpiForWindow(HWND window) {
    const auto getDpiForWindow = lazy::user32().GetDpiForWindow;
    if (getDpiForWindow != nullptr && window != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0) return static_cast<int>(dpi);
    }
    return systemDpi();
}

int systemDpi() {
    const UniqueScreenDc screen(GetDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : kDefaultDpi;
    return dpi > 0 ? dpi : kDefaultDpi;
}

int systemMetricForDpi(int metric, int dpi) {
    const auto forDpi = lazy::user32().GetSystemMetricsForDpi;
    if (forDpi != nullptr) {
        if (const int value = forDpi(metric, static_cast<UINT>(dpi)); value > 0) return value;
    }
    return MulDiv(GetSystemMetrics(metric), dpi, systemDpi());
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

}  // namespace glance::win32
