// Files and folders through kernel32, with UTF-16 paths throughout. Folder
// counts come from a directory query of our own rather than a COM component;
// folder watches are the system's change notifications.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/win32/Win32Loop.h"
#include "platform/win32/Win32PoolJob.h"

namespace glance::win32 {

// The path as the file functions take it at any length: a path of MAX_PATH
// characters or more gets the \\?\ prefix (\\?\UNC\ for a share).
std::wstring extendedPath(std::wstring path);

class Win32FileSystem : public FileSystem {
public:
    // Folder watches and pool jobs hand their handles to the top-level
    // loop's wait (none: they are only polled, as in a test, and no asked
    // file states are answered).
    explicit Win32FileSystem(Win32WakeHandles* wakes = nullptr);
    ~Win32FileSystem() override;

    std::unique_ptr<FolderListing> startListing(const std::wstring& folderPath) override;
    std::optional<std::int64_t> lastModified(const std::wstring& path) override;
    std::unique_ptr<ChangeWatch> watchFolder(const std::wstring& folderPath) override;
    FileState fileState(const std::wstring& path) override;
    // Asked on a pool thread; see Win32AskedFileStates.cpp.
    void askFileStates(std::vector<std::wstring> paths, double seconds,
                       std::unique_ptr<FileStatesAnswer> answer) override;
    bool plainFileExists(const std::wstring& path) override;
    std::optional<std::string> readFile(const std::wstring& path, std::size_t maxBytes) override;
    std::wstring programFolder() override;

private:
    struct Question;
    void answer(Question& question);
    Win32WakeHandles* wakes_;
    std::unique_ptr<Question> questions_;  // the open ones, the last asked first
};

}  // namespace glance::win32
