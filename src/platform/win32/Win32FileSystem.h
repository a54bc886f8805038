// Files and folders through kernel32, with UTF-16 paths throughout. Folder
// counts come from a directory query of our own rather than a COM component.
#pragma once

#include <cstdint>
#include <memory>
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

class Win32FileSystem : public FileSystem {
public:
    std::unique_ptr<FolderCounter> createCounter() override;
    void lastModified(const std::wstring& path) override;
    bool plainFileExists(const std::wstring& path) override;
    std::string readFile(const std::wstring& path) override;
    std::wstring programFolder() override;
};

}  // namespace glance::win32
