// Files and folders as the logic needs them: the desktop folder counts and
// change watches, the file-existence test, the directory search and the
// program's own folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
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

// A name's entry in a listing: a 63-bit key made from the name exactly as it
// is spelt (the same for a name a listing reads and one a change watch
// reports), shifted up one bit, and whether it is a subfolder in the lowest
// bit. Two of a million names share a key about once in ten million folders.
inline std::uint64_t nameEntry(std::wstring_view name, bool subfolder) {
    std::uint64_t key = 14695981039346656037ull;  // FNV-1a
    for (const wchar_t c : name) key = (key ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
    return (key << 1) | (subfolder ? 1u : 0u);
}

// Sorts name entries in ascending order with the C library's qsort, so that
// the listing (on its thread) and the counter share one sort in the exe.
inline void sortNameEntries(std::vector<std::uint64_t>& entries) {
    if (entries.empty()) return;  // qsort takes no null array
    std::qsort(entries.data(), entries.size(), sizeof(std::uint64_t), [](const void* a, const void* b) {
        const auto x = *static_cast<const std::uint64_t*>(a), y = *static_cast<const std::uint64_t*>(b);
        return x < y ? -1 : x > y ? 1 : 0;
    });
}

// One listing of a folder. It is read on another thread; the window's thread
// only looks whether it has ended, and the top-level loop is woken when it
// does (as by a change watch that fired).
class FolderListing {
public:
    virtual ~FolderListing() = default;
    // Waits for the listing at most `seconds`; true once the folder has been
    // read to its end. Throws PlatformError when the folder cannot be opened
    // or read to its end.
    virtual bool readOn(double seconds) = 0;
    FolderEntryCounts counts;          // of the entries read, once read to the end
    std::vector<std::uint64_t> names;  // the nameEntry of each, in ascending order
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // A listing of a folder, which starts at its first readOn; fails only
    // as an allocation does.
    virtual std::unique_ptr<FolderListing> startListing(const std::wstring& folderPath) = 0;

    // The last-modified time of a file or folder, in the system's units; a
    // folder's moves when an entry is added to it, removed from it or renamed
    // in it. None when it cannot be read (the folder is not there).
    virtual std::optional<std::int64_t> lastModified(const std::wstring& path) = 0;

    // A watch on the names directly in a folder: it fires when an entry is
    // created, deleted, renamed, or moved in or out; not when a file is
    // written, nor for changes inside subfolders. None when the folder cannot
    // be watched (missing, or a file system that gives no change notifications).
    virtual std::unique_ptr<ChangeWatch> watchFolder(const std::wstring& folderPath) = 0;

    // Whether a file or folder is at path (a drive's root for a volume). Never throws.
    virtual FileState fileState(const std::wstring& path) = 0;

    // The state of each path, asked off the calling thread, so that a volume
    // that does not answer (a share whose server is down keeps the system
    // waiting 20-45 s) holds no window. The answer is given later on the
    // calling thread, at the top level of its loop between two messages
    // (never inside a handler or a message box), with the states in the
    // order of `paths`, when all of them came within `seconds`; otherwise never.
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
