// Text conversions shared by the Win32 layer: the logic's strings are UTF-8
// (its texts are ASCII), Win32 wants UTF-16.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace glance::win32 {

// Invalid sequences become U+FFFD rather than failing.
std::wstring widenUtf8(std::string_view utf8);
std::string narrowToUtf8(std::wstring_view wide);

}  // namespace glance::win32
