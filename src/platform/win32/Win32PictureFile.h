// Pictures made from the bytes of an icon (.ico), cursor (.cur) or bitmap
// (.bmp) file already read into memory, so that where the file lies (a path
// of any length) does not matter. The system gets only what the checks of
// core/PictureFile.h let through, never the file's bytes as they stand.
#pragma once

#include <string_view>

#include "core/PictureFile.h"
#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

// The image of an icon or cursor file (kind) closest to the system's size for
// its kind: an icon at the system's icon size, a cursor at its own size with
// its hotspot. Null when the file is damaged or of another kind. Freed with
// DestroyIcon, as any icon or cursor that CreateIconFromResourceEx makes.
UniqueHicon iconFromFile(std::string_view file, PictureFileKind kind);

// An uncompressed (or bit-field) bitmap as a device-dependent bitmap for the
// screen. Null when the file is damaged or compressed otherwise.
UniqueHbitmap bitmapFromFile(std::string_view file);

}  // namespace glance::win32
