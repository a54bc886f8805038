// The program's UTF-8 texts as the UTF-16 that Win32 takes, and back.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace glance::win32 {

// Invalid sequences and lone surrogates become U+FFFD rather than failing.
std::wstring widenUtf8(std::string_view utf8);
std::string narrowToUtf8(std::wstring_view wide);

}  // namespace glance::win32
