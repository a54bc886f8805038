#include "platform/win32/Win32Diagnostics.h"

#include <windows.h>

#include <cstddef>
#include <new>

#include "core/Error.h"

namespace glance::win32 {

void writeDiagnostic(std::string_view operation, ErrorCode code) noexcept {
    // The operation names are the program's own ASCII texts, so each byte is
    // one character; the line is cut rather than allocated.
    // Joined by hand: the printf family would link a formatter of its own.
    constexpr wchar_t kPrefix[] = L"GlanceRefresher: ";
    constexpr std::size_t kRoom = 160;
    wchar_t line[sizeof kPrefix / sizeof kPrefix[0] + kRoom + 20];
    std::size_t length = 0;
    for (const wchar_t* c = kPrefix; *c != L'\0'; ++c) line[length++] = *c;
    std::size_t taken = 0;
    for (char c : operation) {
        if (taken++ == kRoom) break;
        line[length++] = static_cast<unsigned char>(c) < 0x80 ? static_cast<wchar_t>(c) : L'?';
    }
    for (const wchar_t* c = L": error 0x"; *c != L'\0'; ++c) line[length++] = *c;
    for (int shift = 28; shift >= 0; shift -= 4)
        line[length++] = L"0123456789ABCDEF"[(code.value >> shift) & 0xF];
    line[length++] = L'\n';
    line[length] = L'\0';
    OutputDebugStringW(line);
}

void noteCallbackFailure(const char* where) noexcept {
    ErrorCode code = errtext::kInvalidCall.code;
    try {
        throw;
    } catch (const PlatformError& failure) {
        code = failure.code();
    } catch (const std::bad_alloc&) {
        code = errtext::kOutOfMemory.code;
    } catch (...) {
    }
    writeDiagnostic(where, code);
}

}  // namespace glance::win32
