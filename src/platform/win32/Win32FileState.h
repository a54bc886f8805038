// The one file-existence test of the Win32 layer.
#pragma once

#include <windows.h>

#include <string>

#include "platform/FileSystem.h"

namespace glance::win32 {

// Whether a file or folder is at path, at any length; with attributes, its
// attributes when it is there. Only "file not found" and "path not found" say
// Absent: a refusal, a drive that is not ready or a bad name says Unknown.
FileState fileState(const std::wstring& path, DWORD* attributes = nullptr);

}  // namespace glance::win32
