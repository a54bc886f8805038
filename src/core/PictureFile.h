// What the bytes of an icon (.ico), cursor (.cur) or bitmap (.bmp) file are,
// and whether every size they state fits in the bytes there are. The system's
// picture calls get only what these checks return, never the file's own
// header where it disagrees with the bytes that follow it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace glance {

enum class PictureFileKind { Unknown, Icon, Cursor, Bitmap };

// What the file's first bytes say it is: an icon directory (reserved 0,
// type 1 or 2, at least one image) or a bitmap file header ("BM").
PictureFileKind pictureFileKind(std::string_view file);

// One image of an icon or cursor file as the system takes it: a PNG stream,
// or a bitmap header (colour count and image size rewritten to those of the
// bytes present) with its colour table, pixel rows and mask rows, and nothing
// after them.
struct IconImage {
    std::string bytes;
    std::uint16_t hotspotX = 0;
    std::uint16_t hotspotY = 0;
};

// A bitmap file's header and colour table, rewritten as for an icon image,
// and the pixel rows that follow them.
struct BitmapImage {
    std::string header;
    std::string_view pixels;
};

// Why the bytes were refused.
struct PictureRejection {
    const char* reason;
};

template <class T>
using PictureCheck = std::variant<T, PictureRejection>;

// The image of an icon or cursor file whose width is closest to the wanted
// one (the deepest colour first among equals); the whole file is refused
// when any of its images does not fit.
PictureCheck<IconImage> iconImage(std::string_view file, int wantedWidth);

// The picture of a bitmap file, uncompressed or with bit-field masks.
PictureCheck<BitmapImage> bitmapImage(std::string_view file);

}  // namespace glance
