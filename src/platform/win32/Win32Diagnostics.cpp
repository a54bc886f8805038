#include "platform/win32/Win32Diagnostics.h"

#include <windows.h>

#include <cwchar>

namespace glance::win32 {

void writeDiagnostic(std::string_view operation, ErrorCode code) noexcept {
    // The operation names are the program's own ASCII texts, so each byte is
    // one character; the line is cut rather than allocated.
    wchar_t line[256];
    constexpr std::size_t kRoom = 160;
    wchar_t name[kRoom + 1];
    std::size_t length = 0;
    for (char c : operation) {
        if (length == kRoom) break;
        name[length++] = static_cast<unsigned char>(c) < 0x80 ? static_cast<wchar_t>(c) : L'?';
    }
    name[length] = L'\0';
    std::swprintf(line, sizeof line / sizeof line[0], L"GlanceRefresher: %ls: error 0x%08lX\n", name,
                  static_cast<unsigned long>(code.value));
    OutputDebugStringW(line);
}

}  // namespace glance::win32
