// The folder path that the desktop counter opens, made from the path a shell
// folder look-up gives. Pure text work, free of Win32, so that it can be
// fuzzed on its own.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace glance {

// The longest path the file functions take (with the \\?\ prefix).
inline constexpr std::size_t kMaxFolderPathChars = 32767;

// The path to count, with exactly one trailing backslash: "C:\Data\Desktop"
// gives "C:\Data\Desktop\", a drive's root "D:\" stays "D:\". None when the
// text cannot name a folder of its own: empty, longer than
// kMaxFolderPathChars, holding a NUL or another control character, or not
// absolute (a drive letter with its backslash, \\server\share, or \\?\). A
// relative path would count whatever folder happens to be current.
std::optional<std::wstring> folderPathToCount(std::wstring_view shellPath);

}  // namespace glance
