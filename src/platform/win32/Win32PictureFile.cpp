#include "platform/win32/Win32PictureFile.h"

#include <windows.h>

#include <string>

namespace glance::win32 {

constexpr DWORD kIconFormatVersion = 0x00030000;

UniqueHicon iconFromFile(std::string_view file, PictureFileKind kind) {
    const bool cursor = kind == PictureFileKind::Cursor;
    if (pictureFileKind(file) != kind || (!cursor && kind != PictureFileKind::Icon)) return {};
    const auto image = iconImage(file, GetSystemMetrics(cursor ? SM_CXCURSOR : SM_CXICON));
    const auto* checked = std::get_if<IconImage>(&image);
    if (!checked) return {};
    // A copy of its own, as the system wants the image on a DWORD boundary;
    // a cursor resource is its hotspot followed by the image.
    std::string bits;
    if (cursor)
        bits = {static_cast<char>(checked->hotspotX & 0xFF), static_cast<char>(checked->hotspotX >> 8),
                static_cast<char>(checked->hotspotY & 0xFF), static_cast<char>(checked->hotspotY >> 8)};
    bits += checked->bytes;
    return UniqueHicon(CreateIconFromResourceEx(
        reinterpret_cast<BYTE*>(bits.data()), static_cast<DWORD>(bits.size()), cursor ? FALSE : TRUE,
        kIconFormatVersion, 0, 0, cursor ? LR_DEFAULTCOLOR : LR_DEFAULTSIZE));
}

UniqueHbitmap bitmapFromFile(std::string_view file) {
    const auto image = bitmapImage(file);
    const auto* checked = std::get_if<BitmapImage>(&image);
    if (!checked) return {};
    // Copies on DWORD boundaries, as the system reads them.
    const std::string& header = checked->header;
    const std::string pixels(checked->pixels);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(header.data());
    const UniqueScreenDc screen(GetDC(nullptr));
    if (!screen) return {};
    return UniqueHbitmap(
        CreateDIBitmap(screen.get(), &info->bmiHeader, CBM_INIT, pixels.data(), info, DIB_RGB_COLORS));
}

}  // namespace glance::win32
