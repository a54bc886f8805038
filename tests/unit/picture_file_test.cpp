// Picture file checks: what reaches the system's picture calls agrees with
// the bytes there are, whatever the file's header says.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "core/PictureFile.h"
#include "fuzz/PictureBytes.h"

namespace glance {
namespace {

using test::field;
using test::le32;

// A bitmap file: info header of the given size and depth, `colours` table
// entries, then `pixelBytes` bytes of rows right after them.
std::string bitmapFile(std::uint32_t headerSize, std::int32_t width, std::int32_t height, std::uint16_t depth,
                       std::uint32_t coloursUsed, std::uint32_t colours, std::uint32_t pixelBytes) {
    std::string info = le32(headerSize) + le32(static_cast<std::uint32_t>(width)) +
                       le32(static_cast<std::uint32_t>(height)) + std::string("\1\0", 2) +
                       std::string(1, static_cast<char>(depth)) + std::string(1, '\0') + le32(0) + le32(0) +
                       le32(0) + le32(0) + le32(coloursUsed) + le32(0);
    info.resize(headerSize, '\0');
    const std::uint32_t at = 14 + headerSize + 4 * colours;
    return "BM" + le32(at + pixelBytes) + le32(0) + le32(at) + info + std::string(4 * colours, '\x40') +
           std::string(pixelBytes, '\x5A');
}

TEST(PictureFile, OneBitCursorDeclaringTwoHundredFiftySixColoursGivesTheSystemItsTwo) {
    // The file as it would be planted beside the program as HAND-M.CUR.
    const std::string tests = std::string(__FILE__).substr(0, std::string(__FILE__).rfind("unit"));
    std::ifstream in(tests + "fuzz/corpus/picture_file/cursor-1bit-declares-256-colours.cur",
                     std::ios::binary);
    const std::string file(std::istreambuf_iterator<char>(in), {});
    ASSERT_EQ(field(file, 22 + 32), 256u);
    const auto check = iconImage(file, 32);
    const auto* image = std::get_if<IconImage>(&check);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(field(image->bytes, 32), 2u) << "colours used";
    EXPECT_EQ(image->bytes.size(), 40u + 2 * 4 + 2 * 32 * 4) << "header, 2 colours, colour and mask rows";
    EXPECT_EQ(image->hotspotX, 3);
}

TEST(PictureFile, EverySizeAHeaderStatesIsCheckedAgainstTheBytes) {
    struct Case {
        const char* what;
        std::string file;
        std::uint32_t coloursGiven;  // 0: refused
    };
    std::string v5Profile = bitmapFile(124, 2, 2, 24, 0, 0, 16);
    v5Profile.replace(14 + 56, 4, "DEBM");                       // an embedded profile...
    v5Profile.replace(14 + 112, 8, le32(4000) + le32(0x10000));  // ...said to lie beyond the file
    const Case cases[] = {
        {"1-bit bitmap declaring 256 colours", bitmapFile(40, 8, 2, 1, 256, 2, 8), 2},
        {"4 GiB of rows stated, 16 bytes there", bitmapFile(40, 32768, 32768, 32, 0, 0, 16), 0},
        {"table running into the rows", bitmapFile(40, 8, 2, 8, 0, 2, 8), 0},
        {"32768 x 4000 at 1 bit, every row there (535 MB decoded)",
         bitmapFile(40, 32768, 4000, 1, 0, 2, 32768 / 8 * 4000), 0},
        {"4096 x 4096 at 1 bit, every row there", bitmapFile(40, 4096, 4096, 1, 0, 2, 4096 / 8 * 4096), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto check = bitmapImage(c.file);
        const auto* bitmap = std::get_if<BitmapImage>(&check);
        if (c.coloursGiven == 0) {
            ASSERT_EQ(bitmap, nullptr);
            EXPECT_NE(std::get<PictureRejection>(check).reason, nullptr);
            continue;
        }
        ASSERT_NE(bitmap, nullptr) << std::get<PictureRejection>(check).reason;
        EXPECT_EQ(field(bitmap->header, 32), c.coloursGiven);
        EXPECT_EQ(bitmap->header.size(), 40 + 4 * c.coloursGiven);
        EXPECT_EQ(field(bitmap->header, 20), bitmap->pixels.size());
    }
    const auto check = bitmapImage(v5Profile);
    const auto* bitmap = std::get_if<BitmapImage>(&check);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->header.substr(56, 4), "BGRs") << "sRGB instead of the profile";
    EXPECT_EQ(field(bitmap->header, 112), 0u);
}

}  // namespace
}  // namespace glance
