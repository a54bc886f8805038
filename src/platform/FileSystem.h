// Files and folders as the logic needs them: the desktop folder counts and
// change watches, the file-existence test, the directory search and the
// program's own folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ChangeWatch.h"

namespace glance {

// The immediate entries of one folder, "." and ".." left out, hidden and
// system entries included.
struct FolderEntryCounts {
    std::int64_t files = 0;
    std::int64_t subfolders = 0;
};

// What the system says of a path: something is there, nothing is there, or it
// cannot tell (access refused, a drive not ready, a network that does not
// answer, a name no file can have).
enum class FileState { Present, Absent, Unknown };

// What takes the answer of FileSystem::askFileStates.
class FileStatesAnswer {
public:
    virtual ~FileStatesAnswer() = default;
    virtual void answer(const std::vector<FileState>& states) = 0;
};

class FolderCounter {
public:
    virtual ~FolderCounter() = default;
    // Lists a folder once, which gives both of its counts. Throws
    // PlatformError when the folder cannot be opened or read to its end.
    virtual FolderEntryCounts countEntries(const std::wstring& folderPath) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // One counter per count, released at its end. Throws when the counting
    // component cannot be created.
    virtual std::unique_ptr<FolderCounter> createCounter() = 0;

    // The last-modified time of a file or folder, in the system's units; a
    // folder's moves when an entry is added to it, removed from it or renamed
    // in it. Throws when it cannot be read.
    virtual std::int64_t lastModified(const std::wstring& path) = 0;

    // A watch on the names directly in a folder: it fires when an entry is
    // created, deleted, renamed, or moved in or out; not when a file is
    // written, nor for changes inside subfolders. Throws PlatformError when
    // the folder cannot be watched (missing, or a file system that gives no
    // change notifications).
    virtual std::unique_ptr<ChangeWatch> watchFolder(const std::wstring& folderPath) = 0;

    // Whether a file or folder is at path (a drive's root for a volume). Never throws.
    virtual FileState fileState(const std::wstring& path) = 0;

    // The state of each path, asked off the calling thread, so that a volume
    // that does not answer (a share whose server is down keeps the system
    // waiting 20-45 s) holds no window. The answer is given later on the
    // calling thread, between its messages, with the states in the order of
    // `paths`, when all of them came within `seconds`; otherwise never.
    // Throws PlatformError when the question cannot be asked.
    virtual void askFileStates(std::vector<std::wstring> paths, double seconds,
                               std::unique_ptr<FileStatesAnswer> answer) = 0;

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
