// Value types shared by the platform interfaces: window handles, pictures and
// colours as plain integers, free of any Win32 type.
#pragma once

#include <cstdint>

namespace glance {

// A window handle as the 32-bit value the program stores and passes around.
using WindowHandle = std::uintptr_t;

// A picture as the program sees it: its kind and its handle.
struct Picture {
    enum Type : int { None = 0, Bitmap = 1, Metafile = 2, Icon = 3, EnhancedMetafile = 4 };
    int type = None;
    std::uintptr_t handle = 0;
    bool empty() const { return type == None && handle == 0; }
    friend bool operator==(const Picture&, const Picture&) = default;
};

// A colour value: 0x00BBGGRR, or with the top bit set the index of a system colour.
using Colour = std::uint32_t;
inline constexpr Colour kWhite = 0x00FFFFFF;
inline constexpr Colour kSystemFace = 0x8000000F;        // COLOR_BTNFACE
inline constexpr Colour kSystemButtonText = 0x80000012;  // COLOR_BTNTEXT

// Booleans stored or tested as numbers.
inline constexpr int kTrue = -1;
inline constexpr int kFalse = 0;

}  // namespace glance
