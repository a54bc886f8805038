#include "platform/win32/Win32Text.h"

#include "core/Unicode.h"

namespace glance::win32 {

// wchar_t is a UTF-16 code unit on Windows, so the text passes unit for unit.
std::wstring widenUtf8(std::string_view utf8) {
    const std::u16string units = utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

std::string narrowToUtf8(std::wstring_view wide) {
    return utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace glance::win32
