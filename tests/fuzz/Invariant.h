// What the fuzz targets assert about any input: a broken invariant aborts
// with the reason, which libFuzzer reports as a crash with the input saved.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/Unicode.h"

namespace glance::fuzz {

inline void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// True when text is well-formed UTF-8 without a character that prints
// nothing or reorders the text around it: C0 and C1 controls, DEL, line and
// paragraph separators, zero-width and direction marks, the byte-order mark.
inline bool printable(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80    ? 1
                                   : lead >= 0xF0 ? 4
                                   : lead >= 0xE0 ? 3
                                   : lead >= 0xC2 ? 2
                                                  : 0;
        if (length == 0 || lead > 0xF4 || i + length > text.size()) return false;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
        if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        if (escapedForDisplay(c)) return false;
        i += length;
    }
    return true;
}

}  // namespace glance::fuzz
