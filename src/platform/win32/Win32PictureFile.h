// Pictures made from the bytes of an icon (.ico), cursor (.cur) or bitmap
// (.bmp) file already read into memory, so that where the file lies (a path
// of any length) does not matter. The system gets only what the checks of
// core/PictureFile.h let through, never the file's bytes as they stand.
#pragma once

#include <string_view>

#include "core/PictureFile.h"
#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

// The file's image closest to the system's size for its kind: an icon at the
// system's icon size, a cursor at its own size with its hotspot. Null when
// the file is damaged (or of another kind). Both are freed with DestroyIcon,
// as for any icon or cursor made by CreateIconFromResourceEx.
UniqueHicon iconFromFile(std::string_view file);
UniqueHicon cursorFromFile(std::string_view file);

// An uncompressed (or bit-field) bitmap as a device-dependent bitmap for the
// screen. Null when the file is damaged or compressed otherwise.
UniqueHbitmap bitmapFromFile(std::string_view file);

}  // namespace glance::win32
