#include "platform/win32/Win32PictureFile.h"

#include <windows.h>

#include <string>

namespace glance::win32 {
namespace {

constexpr DWORD kIconFormatVersion = 0x00030000;

}  // namespace

UniqueHicon iconFromFile(std::string_view file) {
    if (pictureFileKind(file) != PictureFileKind::Icon) return {};
    auto image = iconImage(file, GetSystemMetrics(SM_CXICON));
    auto* checked = std::get_if<IconImage>(&image);
    if (!checked) return {};
    // A copy of its own: the system wants the image on a DWORD boundary.
    std::string& bits = checked->bytes;
    return UniqueHicon(CreateIconFromResourceEx(reinterpret_cast<BYTE*>(bits.data()),
                                                static_cast<DWORD>(bits.size()), TRUE, kIconFormatVersion, 0,
                                                0, LR_DEFAULTSIZE));
}

UniqueHicon cursorFromFile(std::string_view file) {
    if (pictureFileKind(file) != PictureFileKind::Cursor) return {};
    const auto image = iconImage(file, GetSystemMetrics(SM_CXCURSOR));
    const auto* checked = std::get_if<IconImage>(&image);
    if (!checked) return {};
    // A cursor resource is its hotspot followed by the image.
    std::string bits(4, '\0');
    bits[0] = static_cast<char>(checked->hotspotX & 0xFF);
    bits[1] = static_cast<char>(checked->hotspotX >> 8);
    bits[2] = static_cast<char>(checked->hotspotY & 0xFF);
    bits[3] = static_cast<char>(checked->hotspotY >> 8);
    bits.append(checked->bytes);
    return UniqueHicon(CreateIconFromResourceEx(reinterpret_cast<BYTE*>(bits.data()),
                                                static_cast<DWORD>(bits.size()), FALSE, kIconFormatVersion, 0,
                                                0, LR_DEFAULTCOLOR));
}

UniqueHbitmap bitmapFromFile(std::string_view file) {
    const auto image = bitmapImage(file);
    const auto* checked = std::get_if<BitmapImage>(&image);
    if (!checked) return {};
    // Copies on DWORD boundaries, as the system reads them.
    const std::string& header = checked->header;
    const std::string pixels(checked->pixels);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(header.data());
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return {};
    UniqueHbitmap bitmap(
        CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, pixels.data(), info, DIB_RGB_COLORS));
    ReleaseDC(nullptr, screen);
    return bitmap;
}

}  // namespace glance::win32
