// Win32Shell::notifyIcon: the notification-icon record handed to
// Shell_NotifyIconA in the 488-byte layout of shell version 5.0.
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <cstddef>
#include <cstring>

#include "platform/win32/LazyImports.h"
#include "platform/win32/Win32Shell.h"

namespace glance::win32 {

static_assert(NOTIFYICONDATAA_V2_SIZE == 488);
static_assert(sizeof(NotifyIconRecord) == NOTIFYICONDATAA_V2_SIZE);
static_assert(sizeof(NOTIFYICONDATAA) >= NOTIFYICONDATAA_V2_SIZE);
#ifndef _WIN64
static_assert(offsetof(NOTIFYICONDATAA, szTip) == offsetof(NotifyIconRecord, szTip));
static_assert(offsetof(NOTIFYICONDATAA, szInfo) == offsetof(NotifyIconRecord, szInfo));
static_assert(offsetof(NOTIFYICONDATAA, uTimeout) == offsetof(NotifyIconRecord, uTimeout));
static_assert(offsetof(NOTIFYICONDATAA, szInfoTitle) == offsetof(NotifyIconRecord, szInfoTitle));
static_assert(offsetof(NOTIFYICONDATAA, dwInfoFlags) == offsetof(NotifyIconRecord, dwInfoFlags));
#endif

void Win32Shell::notifyIcon(std::uint32_t message, const NotifyIconRecord& record) {
    // The fields past the 488 bytes (GUID, balloon icon) stay zero and, with
    // cbSize 488, are not read by the shell.
    NOTIFYICONDATAA data{};
    std::memcpy(&data, &record, sizeof record);
    // The result is deliberately ignored: the control behaves the same whether
    // or not a shell is there to take the request.
    lazy::Shell_NotifyIconA(message, &data);
}

}  // namespace glance::win32
