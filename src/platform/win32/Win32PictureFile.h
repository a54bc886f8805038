// Pictures made from the bytes of an icon (.ico), cursor (.cur) or bitmap
// (.bmp) file already read into memory, so that where the file lies (a path
// of any length) does not matter. Every size the file states is checked
// against the bytes there are before the system is handed any of them.
#pragma once

#include <string_view>

#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

enum class PictureFileKind { Unknown, Icon, Cursor, Bitmap };

// What the file's first bytes say it is: an icon directory (reserved 0,
// type 1 or 2, at least one image) or a bitmap file header ("BM").
PictureFileKind pictureFileKind(std::string_view file);

// The file's image closest to the system's size for its kind: an icon at the
// system's icon size, a cursor at its own size with its hotspot. Null when
// the file is damaged.
UniqueHicon iconFromFile(std::string_view file);
UniqueHcursor cursorFromFile(std::string_view file);

// An uncompressed (or bit-field) bitmap as a device-dependent bitmap for the
// screen. Null when the file is damaged or compressed otherwise.
UniqueHbitmap bitmapFromFile(std::string_view file);

}  // namespace glance::win32
