// Files and folders as the logic needs them: the desktop folder counts, the
// file-existence test, the directory search and the program's own folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace glance {

// Counts the immediate entries of one folder, hidden and system entries
// included. Each call opens the folder anew; a folder that cannot be opened,
// or a count that leaves the 32-bit range, throws PlatformError.
class FolderCounter {
public:
    virtual ~FolderCounter() = default;
    virtual std::int32_t subfolderCount(const std::wstring& folderPath) = 0;
    virtual std::int32_t fileCount(const std::wstring& folderPath) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // One counter per count, released at its end. Throws when the counting
    // component cannot be created.
    virtual std::unique_ptr<FolderCounter> createCounter() = 0;

    // Reads the last-modified time of a file or folder; throws when it cannot.
    virtual void lastModified(const std::wstring& path) = 0;

    // True when a plain file (not hidden, not system, not a folder) matches path.
    virtual bool plainFileExists(const std::wstring& path) = 0;

    // Reads a whole file of at most maxBytes bytes. Empty when the file is
    // larger: its size is checked before anything is read, so a huge file
    // costs nothing (one that grows while it is read is caught too). Throws
    // when the file cannot be read.
    virtual std::optional<std::string> readFile(const std::wstring& path, std::size_t maxBytes) = 0;

    // The folder that holds the program file, without a trailing backslash.
    virtual std::wstring programFolder() = 0;
};

}  // namespace glance
