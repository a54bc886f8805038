// The desktop folders' paths: the shell's folder ids, the folder path that the
// desktop counter opens, made from the path the shell gives, and the folder
// above one. Free of Win32; the text work is fuzzed on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Shell.h"

namespace glance {

inline constexpr std::int32_t kFolderUserDesktop = 0;     // CSIDL_DESKTOP
inline constexpr std::int32_t kFolderCommonDesktop = 25;  // CSIDL_COMMON_DESKTOPDIRECTORY

// The longest path the file functions take (with the \\?\ prefix).
inline constexpr std::size_t kMaxFolderPathChars = 32767;

// The path to count, with exactly one trailing backslash: "C:\Data\Desktop"
// gives "C:\Data\Desktop\", a drive's root "D:\" stays "D:\". None when the
// text cannot name a folder of its own: empty, longer than
// kMaxFolderPathChars, holding a NUL or another control character, or not
// absolute (a drive letter with its backslash, \\server\share, or \\?\). A
// relative path would count whatever folder happens to be current.
std::optional<std::wstring> folderPathToCount(std::wstring_view shellPath);

// The shell's path for a folder id, as the path to count; none when the shell
// cannot give a path that names a folder.
std::optional<std::wstring> desktopFolderPath(Shell& shell, std::int32_t folderId);

// The folder above a folder path, with its trailing backslash; empty above a
// drive's root or a share.
std::wstring parentFolder(const std::wstring& path);

}  // namespace glance
