// Files and folders as the logic needs them: the desktop folder counts and
// change watches, the file-existence test, the directory search and the
// program's own folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

// The key of a name in a folder, the same for a name a listing reads and one
// a change watch reports: 64 bits, so that two of a million names share one
// about once in ten million folders.
inline std::uint64_t nameKey(std::wstring_view name, bool subfolder) {
    std::uint64_t key = 14695981039346656037ull;  // FNV-1a
    for (const wchar_t c : name) key = (key ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
    return subfolder ? ~key : key;
}

// One listing of a folder, read a part at a time, so that a large folder never
// holds the thread for long. While parts remain, the top-level loop is woken
// to read on (as by a change watch that fired).
class FolderListing {
public:
    virtual ~FolderListing() = default;
    // Reads on for about `seconds`; true once the folder has been read to its
    // end. Throws PlatformError when the folder cannot be opened or read to
    // its end.
    virtual bool readOn(double seconds) = 0;
    FolderEntryCounts counts;          // of the entries read so far
    std::vector<std::uint64_t> names;  // the nameKey of each of them
};

class FolderCounter {
public:
    virtual ~FolderCounter() = default;
    // A listing of a folder, which is opened at the first readOn; fails
    // only as an allocation does.
    virtual std::unique_ptr<FolderListing> startListing(const std::wstring& folderPath) = 0;
    // Lists a folder at once, which gives both of its counts.
    FolderEntryCounts countEntries(const std::wstring& folderPath) {
        const std::unique_ptr<FolderListing> listing = startListing(folderPath);
        while (!listing->readOn(1e9)) {
        }
        return listing->counts;
    }
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
