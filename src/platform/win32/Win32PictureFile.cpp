#include "platform/win32/Win32PictureFile.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace glance::win32 {
namespace {

constexpr std::size_t kIconDirectorySize = 6;
constexpr std::size_t kIconEntrySize = 16;
constexpr std::size_t kBitmapFileHeaderSize = 14;
constexpr std::size_t kBitmapInfoHeaderSize = 40;
constexpr std::int32_t kMaxSide = 32768;  // beyond any real picture; keeps the sums below in range
constexpr DWORD kIconFormatVersion = 0x00030000;

std::uint16_t word(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t dword(std::string_view bytes, std::size_t at) {
    return word(bytes, at) | static_cast<std::uint32_t>(word(bytes, at + 2)) << 16;
}

bool isPng(std::string_view image) {
    return image.starts_with("\x89PNG\r\n\x1A\n");
}

std::uint64_t rowBytes(std::uint64_t width, std::uint64_t bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

// What a device-independent bitmap's header says it needs: the header with
// its colour table (or bit-field masks), and the pixel rows, for an icon
// image with its mask rows (an icon's stated height counts both). Empty when
// the header is not one the system can take as it is.
struct DibSizes {
    std::uint64_t header = 0;
    std::uint64_t pixels = 0;
};
std::optional<DibSizes> dibSizes(std::string_view dib, bool withMask) {
    if (dib.size() < kBitmapInfoHeaderSize) return std::nullopt;
    const std::uint32_t headerSize = dword(dib, 0);
    const auto width = static_cast<std::int32_t>(dword(dib, 4));
    const auto height = static_cast<std::int32_t>(dword(dib, 8));
    const std::uint16_t planes = word(dib, 12);
    const std::uint16_t bitCount = word(dib, 14);
    const std::uint32_t compression = dword(dib, 16);
    const std::uint32_t coloursUsed = dword(dib, 32);
    if (headerSize < kBitmapInfoHeaderSize || headerSize > dib.size() || planes != 1) return std::nullopt;
    if (width <= 0 || width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide)
        return std::nullopt;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return std::nullopt;
    DibSizes sizes{headerSize, 0};
    if (compression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32)) {
        if (headerSize == kBitmapInfoHeaderSize) sizes.header += 3 * 4;  // the masks follow the short header
    } else if (compression != BI_RGB) {
        return std::nullopt;
    }
    if (bitCount <= 8) {
        const std::uint32_t full = 1u << bitCount;
        sizes.header += 4 * std::uint64_t{coloursUsed == 0 || coloursUsed > full ? full : coloursUsed};
    } else {
        if (coloursUsed > 256) return std::nullopt;
        sizes.header += 4 * std::uint64_t{coloursUsed};
    }
    const auto columns = static_cast<std::uint64_t>(width);
    const auto rows = static_cast<std::uint64_t>(height < 0 ? -height : height);
    if (!withMask) {
        sizes.pixels = rowBytes(columns, bitCount) * rows;
    } else {
        if (height < 0 || rows % 2 != 0) return std::nullopt;
        sizes.pixels = (rowBytes(columns, bitCount) + rowBytes(columns, 1)) * (rows / 2);
    }
    return sizes;
}

struct IconImage {
    std::string_view bytes;
    std::uint16_t hotspotX = 0;
    std::uint16_t hotspotY = 0;
};

// The directory entry whose width is closest to the wanted one, the deepest
// colour first among equals, checked to lie whole inside the file.
std::optional<IconImage> chooseImage(std::string_view file, int wantedWidth) {
    if (pictureFileKind(file) != PictureFileKind::Icon && pictureFileKind(file) != PictureFileKind::Cursor)
        return std::nullopt;
    const std::uint16_t count = word(file, 4);
    if (file.size() < kIconDirectorySize + std::size_t{count} * kIconEntrySize) return std::nullopt;
    std::optional<IconImage> best;
    int bestDistance = 0;
    int bestDepth = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = kIconDirectorySize + i * kIconEntrySize;
        const std::uint64_t size = dword(file, entry + 8);
        const std::uint64_t offset = dword(file, entry + 12);
        if (offset + size > file.size() || size < 8) return std::nullopt;
        const std::string_view image = file.substr(offset, size);
        int depth = 32;
        if (!isPng(image)) {
            const auto needed = dibSizes(image, true);
            if (!needed || needed->header + needed->pixels > image.size()) return std::nullopt;
            depth = word(image, 14);
        }
        const int width =
            static_cast<unsigned char>(file[entry]) == 0 ? 256 : static_cast<unsigned char>(file[entry]);
        const int distance = std::abs(width - wantedWidth);
        if (!best || distance < bestDistance || (distance == bestDistance && depth > bestDepth)) {
            best = IconImage{image, word(file, entry + 4), word(file, entry + 6)};
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    return best;
}

}  // namespace

PictureFileKind pictureFileKind(std::string_view file) {
    if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') return PictureFileKind::Bitmap;
    if (file.size() < kIconDirectorySize || word(file, 0) != 0 || word(file, 4) == 0)
        return PictureFileKind::Unknown;
    if (word(file, 2) == 1) return PictureFileKind::Icon;
    if (word(file, 2) == 2) return PictureFileKind::Cursor;
    return PictureFileKind::Unknown;
}

UniqueHicon iconFromFile(std::string_view file) {
    if (pictureFileKind(file) != PictureFileKind::Icon) return {};
    const auto image = chooseImage(file, GetSystemMetrics(SM_CXICON));
    if (!image) return {};
    // The system wants the image on a DWORD boundary, which a place in the file need not be.
    std::string bits(image->bytes);
    return UniqueHicon(CreateIconFromResourceEx(reinterpret_cast<BYTE*>(bits.data()),
                                                static_cast<DWORD>(bits.size()), TRUE, kIconFormatVersion, 0,
                                                0, LR_DEFAULTSIZE));
}

UniqueHcursor cursorFromFile(std::string_view file) {
    if (pictureFileKind(file) != PictureFileKind::Cursor) return {};
    const auto image = chooseImage(file, GetSystemMetrics(SM_CXCURSOR));
    if (!image) return {};
    // A cursor resource is its hotspot followed by the image.
    std::string bits(4, '\0');
    bits[0] = static_cast<char>(image->hotspotX & 0xFF);
    bits[1] = static_cast<char>(image->hotspotX >> 8);
    bits[2] = static_cast<char>(image->hotspotY & 0xFF);
    bits[3] = static_cast<char>(image->hotspotY >> 8);
    bits.append(image->bytes);
    return UniqueHcursor(CreateIconFromResourceEx(reinterpret_cast<BYTE*>(bits.data()),
                                                  static_cast<DWORD>(bits.size()), FALSE, kIconFormatVersion,
                                                  0, 0, LR_DEFAULTCOLOR));
}

UniqueHbitmap bitmapFromFile(std::string_view file) {
    if (pictureFileKind(file) != PictureFileKind::Bitmap || file.size() < kBitmapFileHeaderSize) return {};
    const std::uint64_t pixelsAt = dword(file, 10);
    const auto needed = dibSizes(file.substr(kBitmapFileHeaderSize), false);
    // The header and its colour table come before the pixel rows, which
    // start where the file header says and must all be there.
    if (!needed || kBitmapFileHeaderSize + needed->header > pixelsAt || pixelsAt > file.size() ||
        needed->pixels > file.size() - pixelsAt)
        return {};
    // Copies on DWORD boundaries, as the system reads them.
    std::string header(file.substr(kBitmapFileHeaderSize, static_cast<std::size_t>(needed->header)));
    std::string pixels(
        file.substr(static_cast<std::size_t>(pixelsAt), static_cast<std::size_t>(needed->pixels)));
    const auto* info = reinterpret_cast<const BITMAPINFO*>(header.data());
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return {};
    UniqueHbitmap bitmap(
        CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, pixels.data(), info, DIB_RGB_COLORS));
    ReleaseDC(nullptr, screen);
    return bitmap;
}

}  // namespace glance::win32
