// The program's colour values (0x00BBGGRR, or a system colour with the top
// bit set) as the colours and brushes that Win32 paints with.
#pragma once

#include <windows.h>

#include "platform/Types.h"
#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

// 0x00BBGGRR as is; with the top bit set, the system colour it names.
inline COLORREF resolveColour(Colour colour) {
    if (colour & 0x80000000u) return GetSysColor(static_cast<int>(colour & 0xFFu));
    return static_cast<COLORREF>(colour & 0x00FFFFFFu);
}

// A solid brush for a colour value; system colours use the shared system
// brush, which follows the user's colour scheme and is never deleted.
class ColourBrush {
public:
    explicit ColourBrush(Colour colour = kWhite) { set(colour); }
    void set(Colour colour) {
        const bool system = (colour & 0x80000000u) != 0;
        colour_ = colour;
        owned_.reset(system ? nullptr : CreateSolidBrush(resolveColour(colour)));
        shared_ = system ? GetSysColorBrush(static_cast<int>(colour & 0xFFu)) : nullptr;
    }
    Colour colour() const { return colour_; }
    HBRUSH get() const { return owned_ ? owned_.get() : shared_; }

private:
    Colour colour_ = kWhite;
    UniqueHbrush owned_;
    HBRUSH shared_ = nullptr;
};

}  // namespace glance::win32
