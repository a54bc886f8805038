// Little-endian fields of picture files, read and written, for the picture
// file's fuzz target and its unit test.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace glance::test {

inline std::uint32_t field(std::string_view bytes, std::size_t at, std::size_t size = 4) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < size; ++i)
        v |= std::uint32_t{static_cast<std::uint8_t>(bytes[at + i])} << (8 * i);
    return v;
}

inline std::string le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (std::size_t i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

}  // namespace glance::test
