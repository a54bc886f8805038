// The desktop item counter: the number of files plus immediate subfolders of
// the user's desktop folder and of the all-users desktop folder.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Shell.h"

namespace glance {

inline constexpr std::int32_t kFolderUserDesktop = 0;     // CSIDL_DESKTOP
inline constexpr std::int32_t kFolderCommonDesktop = 25;  // CSIDL_COMMON_DESKTOPDIRECTORY

// The shell's raw path text for a folder id: empty when the shell cannot give
// the folder, otherwise the path, a NUL and the buffer's padding.
std::wstring specialFolderPath(Shell& shell, std::int32_t folderId);

// The folder path to count, with a trailing backslash: the raw text up to its
// last NUL. Throws PlatformError(errtext::kInvalidCall) when the raw text holds
// no NUL, which includes the shell not giving the folder at all.
std::wstring userDesktopPath(Shell& shell);
std::wstring commonDesktopPath(Shell& shell);

// Files plus subfolders of both desktop folders, counted as four independent
// terms. A term that fails in any way (path, folder, count, or a sum beyond
// the 32-bit range) contributes nothing and the others still count. Never throws.
std::int32_t countDesktopItems(Shell& shell, FileSystem& files);

}  // namespace glance
