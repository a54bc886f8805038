// The notification-icon record in the 488-byte layout of shell version 5.0
// (NOTIFYICONDATAA without GUID and balloon icon). Handles are 32-bit fields,
// so the layout is the same on every build and can be checked natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace glance {

struct NotifyIconRecord {
    std::uint32_t cbSize = 0;
    std::uint32_t hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    std::uint32_t hIcon = 0;
    char szTip[128] = {};
    std::uint32_t dwState = 0;
    std::uint32_t dwStateMask = 0;
    char szInfo[256] = {};
    std::uint32_t uTimeout = 0;  // union with uVersion
    char szInfoTitle[64] = {};
    std::uint32_t dwInfoFlags = 0;
};

static_assert(sizeof(NotifyIconRecord) == 488);
static_assert(offsetof(NotifyIconRecord, szTip) == 24);
static_assert(offsetof(NotifyIconRecord, szInfo) == 160);
static_assert(offsetof(NotifyIconRecord, uTimeout) == 416);
static_assert(offsetof(NotifyIconRecord, szInfoTitle) == 420);
static_assert(offsetof(NotifyIconRecord, dwInfoFlags) == 484);

inline constexpr std::uint32_t kNimAdd = 0;
inline constexpr std::uint32_t kNimModify = 1;
inline constexpr std::uint32_t kNimDelete = 2;
inline constexpr std::uint32_t kNifMessage = 1;
inline constexpr std::uint32_t kNifIcon = 2;
inline constexpr std::uint32_t kNifTip = 4;
inline constexpr std::uint32_t kNifInfo = 16;

// Fills a fixed text field: the text, one NUL, blanks to the field's end; text
// that does not fit with its NUL is cut to the field's width less one.
template <std::size_t N>
void fillTextField(char (&field)[N], std::string_view text) {
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    for (std::size_t i = 0; i < n; ++i) field[i] = text[i];
    field[n] = '\0';
    for (std::size_t i = n + 1; i < N; ++i) field[i] = ' ';
}

}  // namespace glance
