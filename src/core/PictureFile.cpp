#include "core/PictureFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace glance {
namespace {

constexpr std::size_t kIconDirectorySize = 6;
constexpr std::size_t kIconEntrySize = 16;
constexpr std::size_t kBitmapFileHeaderSize = 14;
constexpr std::int32_t kMaxSide = 32768;  // beyond any real picture; keeps the sums below in range
// The most pixels a picture may state. The system decodes a picture to the
// screen's depth (4 bytes a pixel) and the window keeps what it loaded for
// its whole life, so a file of a few megabytes at one bit a pixel must not
// become half a gigabyte. 4096 x 4096 (64 MB decoded) still takes a bitmap
// the size of any screen; a pointer or an icon is at most 256 x 256.
constexpr std::uint64_t kMaxPixels = std::uint64_t{4096} * 4096;

// The bitmap headers the system reads: the info header (40 bytes), with the
// bit-field masks (52, 56), and the version 4 and 5 headers (108, 124).
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kV4Header = 108;
constexpr std::uint32_t kV5Header = 124;
constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionBitFields = 3;
// Colour-space types that point to a colour profile elsewhere in the file.
constexpr std::uint32_t kProfileLinked = 0x4C494E4B;    // 'LINK'
constexpr std::uint32_t kProfileEmbedded = 0x4D424544;  // 'MBED'
constexpr std::uint32_t kColourSpaceSrgb = 0x73524742;  // 'sRGB'

// Header field offsets.
constexpr std::size_t kAtHeaderSize = 0, kAtWidth = 4, kAtHeight = 8, kAtPlanes = 12, kAtBitCount = 14,
                      kAtCompression = 16, kAtSizeImage = 20, kAtColoursUsed = 32, kAtColoursImportant = 36,
                      kAtColourSpace = 56, kAtProfileData = 112, kAtProfileSize = 116;

// The reasons that more than one check gives; the others stand at their check.
constexpr const char* kTooShort = "too short for its header";
constexpr const char* kNoImages = "not an icon, cursor or bitmap";
constexpr const char* kBadShape = "width, height or planes out of range";
constexpr const char* kCutOff = "pixel rows cut off";

std::uint16_t word(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t dword(std::string_view bytes, std::size_t at) {
    return word(bytes, at) | static_cast<std::uint32_t>(word(bytes, at + 2)) << 16;
}

void putDword(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool isPng(std::string_view image) {
    return image.starts_with("\x89PNG\r\n\x1A\n");
}

std::uint64_t rowBytes(std::uint64_t width, std::uint64_t bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

// A device-independent bitmap's header, checked and rewritten so that every
// count in it matches what follows: the colour count is that of the table
// present (a 1-bit picture that says it has 256 colours gets its 2), the
// image size is that of the pixel rows (with an icon's mask rows, which its
// stated height counts too), and a colour profile elsewhere in the file
// becomes sRGB. `pixels` is how many bytes of rows must follow the header.
struct Dib {
    std::string header;
    std::uint64_t pixels = 0;
};
PictureCheck<Dib> checkDib(std::string_view dib, bool withMask) {
    if (dib.size() < kInfoHeader) return PictureRejection{kTooShort};
    const std::uint32_t headerSize = dword(dib, kAtHeaderSize);
    const auto width = static_cast<std::int32_t>(dword(dib, kAtWidth));
    const auto height = static_cast<std::int32_t>(dword(dib, kAtHeight));
    const std::uint16_t bitCount = word(dib, kAtBitCount);
    const std::uint32_t compression = dword(dib, kAtCompression);
    const std::uint32_t coloursUsed = dword(dib, kAtColoursUsed);
    if (headerSize != kInfoHeader && headerSize != 52 && headerSize != 56 && headerSize != kV4Header &&
        headerSize != kV5Header)
        return PictureRejection{"unknown bitmap header"};
    if (headerSize > dib.size()) return PictureRejection{kTooShort};
    if (word(dib, kAtPlanes) != 1 || width <= 0 || width > kMaxSide || height == 0 || height < -kMaxSide ||
        height > kMaxSide)
        return PictureRejection{kBadShape};
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return PictureRejection{"unsupported colour depth"};

    std::uint64_t headerBytes = headerSize;
    if (compression == kCompressionBitFields && (bitCount == 16 || bitCount == 32)) {
        if (headerSize == kInfoHeader) headerBytes += 3 * 4;  // the masks follow the short header
    } else if (compression != kCompressionNone) {
        return PictureRejection{"unsupported compression"};
    }
    std::uint32_t colours = coloursUsed;
    if (bitCount <= 8) {
        const std::uint32_t full = 1u << bitCount;
        colours = coloursUsed == 0 ? full : std::min(coloursUsed, full);
    } else if (coloursUsed > 256) {
        return PictureRejection{"colour table too large"};
    }
    headerBytes += 4 * std::uint64_t{colours};

    const auto columns = static_cast<std::uint64_t>(width);
    const auto rows = static_cast<std::uint64_t>(height < 0 ? -std::int64_t{height} : height);
    // An icon's stated height counts its mask rows too.
    if (columns * (withMask ? rows / 2 : rows) > kMaxPixels)
        return PictureRejection{"more pixels than any picture the window uses"};
    std::uint64_t pixels = 0;
    if (!withMask) {
        pixels = rowBytes(columns, bitCount) * rows;
    } else {
        if (height < 0 || rows % 2 != 0)
            return PictureRejection{"icon mask rows do not pair with its pixel rows"};
        pixels = (rowBytes(columns, bitCount) + rowBytes(columns, 1)) * (rows / 2);
    }
    if (headerBytes > dib.size()) return PictureRejection{kTooShort};
    if (pixels > UINT32_MAX) return PictureRejection{kBadShape};

    Dib checked{std::string(dib.substr(0, static_cast<std::size_t>(headerBytes))), pixels};
    std::string& h = checked.header;
    putDword(h, kAtColoursUsed, colours);
    putDword(h, kAtColoursImportant, std::min(dword(h, kAtColoursImportant), colours));
    putDword(h, kAtSizeImage, static_cast<std::uint32_t>(pixels));
    if (headerSize >= kV4Header) {
        const std::uint32_t space = dword(h, kAtColourSpace);
        if (space == kProfileLinked || space == kProfileEmbedded)
            putDword(h, kAtColourSpace, kColourSpaceSrgb);
    }
    if (headerSize == kV5Header) {
        putDword(h, kAtProfileData, 0);
        putDword(h, kAtProfileSize, 0);
    }
    return checked;
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

PictureCheck<IconImage> iconImage(std::string_view file, int wantedWidth) {
    const PictureFileKind kind = pictureFileKind(file);
    if (kind != PictureFileKind::Icon && kind != PictureFileKind::Cursor) return PictureRejection{kNoImages};
    const std::uint16_t count = word(file, 4);
    if (file.size() < kIconDirectorySize + std::size_t{count} * kIconEntrySize)
        return PictureRejection{"image directory cut off"};
    std::optional<IconImage> best;
    int bestDistance = 0;
    int bestDepth = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = kIconDirectorySize + i * kIconEntrySize;
        const std::uint64_t size = dword(file, entry + 8);
        const std::uint64_t offset = dword(file, entry + 12);
        if (offset + size > file.size() || size < 8) return PictureRejection{"image lies outside the file"};
        const std::string_view image =
            file.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
        std::string bytes;
        int depth = 32;
        if (isPng(image)) {
            bytes = image;
        } else {
            auto dib = checkDib(image, true);
            if (auto* rejected = std::get_if<PictureRejection>(&dib)) return *rejected;
            Dib& checked = std::get<Dib>(dib);
            if (checked.pixels > image.size() - checked.header.size()) return PictureRejection{kCutOff};
            depth = word(image, kAtBitCount);
            bytes = std::move(checked.header);
            bytes.append(image.substr(bytes.size(), static_cast<std::size_t>(checked.pixels)));
        }
        const auto entryWidth = static_cast<unsigned char>(file[entry]);
        const int distance = std::abs((entryWidth == 0 ? 256 : entryWidth) - wantedWidth);
        if (!best || distance < bestDistance || (distance == bestDistance && depth > bestDepth)) {
            best = IconImage{std::move(bytes), word(file, entry + 4), word(file, entry + 6)};
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    return std::move(*best);
}

PictureCheck<BitmapImage> bitmapImage(std::string_view file) {
    if (pictureFileKind(file) != PictureFileKind::Bitmap) return PictureRejection{kNoImages};
    if (file.size() < kBitmapFileHeaderSize) return PictureRejection{kTooShort};
    const std::uint64_t pixelsAt = dword(file, 10);
    auto dib = checkDib(file.substr(kBitmapFileHeaderSize), false);
    if (auto* rejected = std::get_if<PictureRejection>(&dib)) return *rejected;
    Dib& checked = std::get<Dib>(dib);
    // The header and its colour table come before the pixel rows, which
    // start where the file header says and must all be there.
    if (kBitmapFileHeaderSize + checked.header.size() > pixelsAt)
        return PictureRejection{"pixel rows overlap the header"};
    if (pixelsAt > file.size() || checked.pixels > file.size() - pixelsAt) return PictureRejection{kCutOff};
    return BitmapImage{std::move(checked.header), file.substr(static_cast<std::size_t>(pixelsAt),
                                                              static_cast<std::size_t>(checked.pixels))};
}

}  // namespace glance
