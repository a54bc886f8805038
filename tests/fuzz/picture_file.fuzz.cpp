// Icon, cursor and bitmap files: whatever the bytes, nothing is read outside
// them, a refusal has a reason, and what is let through is what a reader
// that trusts its header (as the system does) reads whole and no further.
// Checking the result again gives it back unchanged.
#include <cstdint>

#include "Invariant.h"
#include "PictureBytes.h"
#include "core/PictureFile.h"

using glance::fuzz::require;

namespace {

using glance::test::field;
using glance::test::le32;

// How many header bytes the system reads when it trusts the header: the
// header, the bit-field masks after a short one, and the colour table.
std::uint64_t headerBytesRead(std::string_view h) {
    const std::uint32_t size = field(h, 0), bitCount = field(h, 14, 2), used = field(h, 32);
    const std::uint64_t masks = size == 40 && field(h, 16) == 3 ? 12 : 0;
    const std::uint64_t colours = used != 0 ? used : bitCount <= 8 ? 1u << bitCount : 0;
    return size + masks + 4 * colours;
}

// The accepted picture, or null after checking the refusal's reason.
template <class T>
const T* accepted(const glance::PictureCheck<T>& check) {
    if (const auto* rejected = std::get_if<glance::PictureRejection>(&check)) {
        require(rejected->reason != nullptr && *rejected->reason != '\0', "a refusal has a reason");
        return nullptr;
    }
    return &std::get<T>(check);
}

void checkIcon(std::string_view file) {
    const auto check = glance::iconImage(file, 32);
    const auto* image = accepted(check);
    if (!image) return;
    const std::string& bytes = image->bytes;
    if (!bytes.starts_with("\x89PNG\r\n\x1A\n")) {
        require(bytes.size() >= 40 && headerBytesRead(bytes) <= bytes.size(),
                "the header reads within the image");
        require(field(bytes, 20) == bytes.size() - headerBytesRead(bytes),
                "the image size is the rows present");
    }
    // The image alone in a one-entry directory comes back as it is.
    const std::string again = std::string("\0\0\1\0\1\0", 6) + std::string(8, '\0') +
                              le32(static_cast<std::uint32_t>(bytes.size())) + le32(22) + bytes;
    const auto checkAgain = glance::iconImage(again, 32);
    const auto* same = accepted(checkAgain);
    require(same && same->bytes == bytes, "a checked image checks the same");
}

void checkBitmap(std::string_view file) {
    const auto check = glance::bitmapImage(file);
    const auto* bitmap = accepted(check);
    if (!bitmap) return;
    require(headerBytesRead(bitmap->header) == bitmap->header.size(), "the header reads exactly its table");
    require(field(bitmap->header, 20) == bitmap->pixels.size(), "the image size is the rows present");
    const std::uint32_t at = static_cast<std::uint32_t>(14 + bitmap->header.size());
    const std::string again = "BM" + le32(at + static_cast<std::uint32_t>(bitmap->pixels.size())) + le32(0) +
                              le32(at) + bitmap->header + std::string(bitmap->pixels);
    const auto checkAgain = glance::bitmapImage(again);
    const auto* same = accepted(checkAgain);
    require(same && same->header == bitmap->header && same->pixels == bitmap->pixels,
            "a checked bitmap checks the same");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    switch (glance::pictureFileKind(file)) {
    case glance::PictureFileKind::Icon:
    case glance::PictureFileKind::Cursor:
        checkIcon(file);
        break;
    case glance::PictureFileKind::Bitmap:
        checkBitmap(file);
        break;
    case glance::PictureFileKind::Unknown:
        require(!accepted(glance::iconImage(file, 32)) && !accepted(glance::bitmapImage(file)),
                "an unknown file is refused");
        break;
    }
    return 0;
}
