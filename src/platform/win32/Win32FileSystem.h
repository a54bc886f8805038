// Files and folders through kernel32, with UTF-16 paths throughout. Folder
// counts come from a directory query of our own rather than a COM component.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace glance::win32 {

// The immediate entries of one folder, "." and ".." left out, hidden and
// system entries included; the folder is read anew on every call and nothing
// is allocated per entry. Throws PlatformError when the folder cannot be read
// to its end.
struct FolderEntryCounts {
    std::int64_t files = 0;
    std::int64_t subfolders = 0;
};
FolderEntryCounts countFolderEntries(const std::wstring& folderPath);

// The path as the file functions take it at any length: a path of MAX_PATH
// characters or more gets the \\?\ prefix (\\?\UNC\ for a share).
std::wstring extendedPath(std::wstring path);

class Win32FileSystem : public FileSystem {
public:
    std::unique_ptr<FolderCounter> createCounter() override;
    void lastModified(const std::wstring& path) override;
    bool plainFileExists(const std::wstring& path) override;
    std::optional<std::string> readFile(const std::wstring& path, std::size_t maxBytes) override;
    std::wstring programFolder() override;
};

}  // namespace glance::win32
