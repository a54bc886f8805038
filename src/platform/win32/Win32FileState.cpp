#include "platform/win32/Win32FileState.h"

#include "platform/win32/Win32FileSystem.h"

namespace glance::win32 {

FileState fileState(const std::wstring& path, DWORD* attributes) {
    if (path.empty()) return FileState::Absent;
    const DWORD found = GetFileAttributesW(extendedPath(path).c_str());
    if (found != INVALID_FILE_ATTRIBUTES) {
        if (attributes != nullptr) *attributes = found;
        return FileState::Present;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileState::Absent
                                                                          : FileState::Unknown;
}

FileState Win32FileSystem::fileState(const std::wstring& path) {
    return win32::fileState(path);
}

}  // namespace glance::win32
