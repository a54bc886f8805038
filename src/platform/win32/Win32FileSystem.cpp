#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <limits>
#include <utility>
#include <vector>

#include "core/Error.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32PoolJob.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

// Paths of MAX_PATH characters or more only open with the \\?\ prefix.
std::wstring extendedPath(std::wstring path) {
    if (path.size() < MAX_PATH || path.starts_with(L"\\\\?\\")) return path;
    if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
    return path;
}

namespace {

bool isDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// A path as the file functions take it literally: with the \\?\ prefix, so
// that a name ending in a dot or a space is not cut.
std::wstring literalPath(const std::wstring& path) {
    if (path.starts_with(L"\\\\?\\")) return path;
    if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

// Opens a directory search the cheapest way: no short names, large fetches.
UniqueFindHandle findFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry) {
    return UniqueFindHandle(FindFirstFileExW(extendedPath(pattern).c_str(), FindExInfoBasic, &entry,
                                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
}

// A directory search on a pool thread: Wine reads a whole folder at the
// search's first call (3-4 s for a million items), which no part-by-part
// reading on the window's thread can split. The window's thread only looks
// whether the search has ended, waiting for it at most as long as it is told;
// the job's end wakes the top-level loop. A search that stops early would
// give a wrong count, not a smaller one: it fails.
struct FolderSearch : PoolWork {
    explicit FolderSearch(std::wstring folderPath) : path(std::move(folderPath)) {}
    void run() override {
        WIN32_FIND_DATAW entry;
        UniqueFindHandle found = findFirst(path + (path.back() == L'\\' ? L"*" : L"\\*"), entry);
        if (!found) {
            error = GetLastError();
            // A folder with no entries at all (a drive's empty root has not
            // even "." and "..") reports "file not found"; a missing folder does not.
            if (error == ERROR_FILE_NOT_FOUND) {
                const DWORD attributes = GetFileAttributesW(extendedPath(path).c_str());
                const bool folder =
                    attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
                error = folder ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
            }
            return;
        }
        do {
            if (isDotEntry(entry.cFileName)) continue;
            const bool subfolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            ++(subfolder ? counts.subfolders : counts.files);
            names.push_back(nameEntry(entry.cFileName, subfolder));
            if (abandoned()) return;
        } while (FindNextFileW(found.get(), &entry));
        if (const DWORD last = GetLastError(); last != ERROR_NO_MORE_FILES) error = last;
        found.reset();
        sortNameEntries(names);  // here, off the window's thread
    }
    const std::wstring path;
    FolderEntryCounts counts;
    std::vector<std::uint64_t> names;
    DWORD error = ERROR_SUCCESS;  // ERROR_PATH_NOT_FOUND for a missing folder
};

class Win32FolderListing : public FolderListing {
public:
    Win32FolderListing(std::wstring folderPath, Win32WakeHandles* wakes)
        : job_(std::make_unique<FolderSearch>(std::move(folderPath)), wakes) {}

    bool readOn(double seconds) override {
        FolderSearch& search = job_.work<FolderSearch>();
        if (search.path.empty()) throw PlatformError(errtext::kPathNotFound.code);
        job_.start();
        if (!job_.wait(seconds)) return false;
        // A name list that could not grow fails the listing as any other failed search does.
        const DWORD error = job_.failed() ? ERROR_NOT_ENOUGH_MEMORY : search.error;
        if (error != ERROR_SUCCESS)
            throw PlatformError(error == ERROR_PATH_NOT_FOUND ? errtext::kPathNotFound.code
                                                              : systemErrorCode(error));
        counts = search.counts;
        names = std::move(search.names);
        return true;
    }

private:
    PoolJob job_;
};

// A folder path as the change notification takes it: without a trailing
// backslash, except for a drive's root.
std::wstring watchablePath(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return extendedPath(path);
}

// The names directly in one folder, for one kind of entry (files, or
// subfolders), through ReadDirectoryChangesW: overlapped, its completion sets
// an event that the top-level loop waits on. The system keeps the changes that
// come between two reads, so none is lost while the logic looks at a batch.
// Writes to files (FILE_NOTIFY_CHANGE_LAST_WRITE, SIZE) and subfolders'
// contents (no subtree) are left out: they never change the count, and a
// download being written would otherwise signal all the while.
class NameWatch {
public:
    NameWatch(const std::wstring& folderPath, DWORD filter, Win32WakeHandles* wakes)
        : folderPath_(literalPath(folderPath)), filter_(filter), wakes_(wakes) {
        if (!folderPath_.ends_with(L'\\')) folderPath_ += L'\\';
        folder_.reset(CreateFileW(watchablePath(folderPath).c_str(), FILE_LIST_DIRECTORY,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
        if (!folder_) throw PlatformError(systemErrorCode(GetLastError()));
        event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event_) throw PlatformError(systemErrorCode(GetLastError()));
        read();
        if (wakes_ != nullptr) wakes_->add(event_.get());
    }
    ~NameWatch() {
        if (wakes_ != nullptr) wakes_->remove(event_.get());
        // The read in progress writes into buffer_: it must end before the buffer goes.
        if (reading_ && CancelIo(folder_.get())) {
            DWORD bytes = 0;
            GetOverlappedResult(folder_.get(), &overlapped_, &bytes, TRUE);
        }
    }
    NameWatch(const NameWatch&) = delete;
    NameWatch& operator=(const NameWatch&) = delete;

    bool fired() const { return WaitForSingleObject(event_.get(), 0) != WAIT_TIMEOUT; }

    // Adds the names of a completed read to `changes` and reads on; false
    // when the read cannot name them all (zero bytes: the system's buffer
    // overflowed). Nothing when no read has completed. Throws when the
    // watch cannot read on (its folder went away).
    bool take(std::vector<NameChange>& changes) {
        if (!fired()) return true;
        DWORD bytes = 0;
        const bool exact = GetOverlappedResult(folder_.get(), &overlapped_, &bytes, FALSE) && bytes != 0;
        reading_ = false;
        if (exact) collect(bytes, changes);
        read();
        return exact;
    }

private:
    void read() {
        ResetEvent(event_.get());
        overlapped_ = OVERLAPPED{};
        overlapped_.hEvent = event_.get();
        if (!ReadDirectoryChangesW(folder_.get(), buffer_, sizeof buffer_, FALSE, filter_, nullptr,
                                   &overlapped_, nullptr))
            throw PlatformError(systemErrorCode(GetLastError()));
        reading_ = true;
        if (wakes_ != nullptr) wakes_->rearmed(event_.get());
    }
    // A record is as long as its name: one for a one-character name is 14
    // bytes, less than sizeof(FILE_NOTIFY_INFORMATION).
    void collect(DWORD bytes, std::vector<NameChange>& changes) const {
        constexpr DWORD kHeader = offsetof(FILE_NOTIFY_INFORMATION, FileName);
        const auto* base = reinterpret_cast<const unsigned char*>(buffer_);
        for (DWORD at = 0; at + kHeader <= bytes;) {
            const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + at);
            const DWORD nameBytes = std::min<DWORD>(record->FileNameLength, bytes - at - kHeader);
            const bool added =
                record->Action == FILE_ACTION_ADDED || record->Action == FILE_ACTION_RENAMED_NEW_NAME;
            const bool removed =
                record->Action == FILE_ACTION_REMOVED || record->Action == FILE_ACTION_RENAMED_OLD_NAME;
            NameChange change{std::wstring(record->FileName, nameBytes / sizeof(wchar_t)), added,
                              filter_ == FILE_NOTIFY_CHANGE_DIR_NAME};
            if (removed) changes.push_back(std::move(change));
            if (added && asListed(change)) changes.push_back(std::move(change));
            if (record->NextEntryOffset == 0) break;
            at += record->NextEntryOffset;
        }
    }
    // An added name as a listing would give it: its long name for a short
    // one, its kind for a link. False when a listing would not see it (gone
    // again, which its removal will say, or a link to nothing, which a
    // search skips under Wine). A name with wildcards is taken as it came.
    bool asListed(NameChange& change) const {
        if (change.name.empty()) return false;
        if (change.name.find_first_of(L"*?") != std::wstring::npos) return true;
        WIN32_FIND_DATAW entry;
        const UniqueFindHandle found(FindFirstFileExW((folderPath_ + change.name).c_str(), FindExInfoBasic,
                                                      &entry, FindExSearchNameMatch, nullptr, 0));
        if (!found) return false;
        // Another spelling than the report's only where it is more than case:
        // on a case-sensitive folder "A.txt" may find "a.txt", another item.
        if (_wcsicmp(entry.cFileName, change.name.c_str()) != 0) change.name = entry.cFileName;
        change.subfolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return true;
    }

    std::wstring folderPath_;  // as the file functions take it literally, with its trailing backslash
    DWORD filter_;
    Win32WakeHandles* wakes_;
    UniqueFileHandle folder_;
    UniqueKernelHandle event_;
    OVERLAPPED overlapped_{};
    bool reading_ = false;
    // 64 KB, DWORD-aligned as the records are; the most a share's reads take.
    DWORD buffer_[16384];
};

// A folder's names, files and subfolders each through a watch of their own:
// a removal is reported without what it was, and the count keeps both terms.
class Win32FolderWatch : public ChangeWatch {
public:
    Win32FolderWatch(const std::wstring& folderPath, Win32WakeHandles* wakes)
        : files_(folderPath, FILE_NOTIFY_CHANGE_FILE_NAME, wakes),
          subfolders_(folderPath, FILE_NOTIFY_CHANGE_DIR_NAME, wakes) {}

    bool fired() override { return files_.fired() || subfolders_.fired(); }
    bool rearm() override { return !takeChanges().gone; }
    NameChanges takeChanges() override {
        NameChanges taken;
        try {
            const bool filesExact = files_.take(taken.changes);
            taken.exact = subfolders_.take(taken.changes) && filesExact;
        } catch (const PlatformError&) {
            taken = {false, true, {}};
        }
        return taken;
    }

private:
    NameWatch files_;
    NameWatch subfolders_;
};

}  // namespace

std::unique_ptr<FolderListing> Win32FileSystem::startListing(const std::wstring& folderPath) {
    return std::make_unique<Win32FolderListing>(folderPath, wakes_);
}

std::optional<std::int64_t> Win32FileSystem::lastModified(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(extendedPath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                     data.ftLastWriteTime.dwLowDateTime);
}

std::unique_ptr<ChangeWatch> Win32FileSystem::watchFolder(const std::wstring& folderPath) {
    if (folderPath.empty()) return nullptr;
    try {
        return std::make_unique<Win32FolderWatch>(folderPath, wakes_);
    } catch (const PlatformError&) {
        return nullptr;  // missing, or a file system that gives no notifications
    }
}

bool Win32FileSystem::plainFileExists(const std::wstring& path) {
    // A directory search, so the path may hold wildcards; a match counts only
    // when it is neither hidden, nor system, nor a folder.
    constexpr DWORD kNotPlain = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
    if (path.empty()) return false;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle search = findFirst(path, entry);
    if (!search) return false;
    do {
        if (!(entry.dwFileAttributes & kNotPlain)) return true;
    } while (FindNextFileW(search.get(), &entry));
    return false;
}

std::optional<std::string> Win32FileSystem::readFile(const std::wstring& path, std::size_t maxBytes) {
    UniqueFileHandle file(CreateFileW(extendedPath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        throw PlatformError(systemErrorCode(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error));
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) throw PlatformError(systemErrorCode(GetLastError()));
    const auto length = static_cast<std::uint64_t>(size.QuadPart);
    if (length > maxBytes || length >= std::numeric_limits<std::size_t>::max()) return std::nullopt;

    // One byte of room beyond the size tells a file that grew since from one
    // that did not; the read stops there.
    std::string bytes(static_cast<std::size_t>(length) + 1, '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr)) {
            throw PlatformError(systemErrorCode(GetLastError()));
        }
        if (got == 0) break;  // the end of the file (it may have shrunk while it was read)
        done += got;
        if (done > maxBytes) return std::nullopt;
    }
    bytes.resize(done);
    return bytes;
}

std::wstring Win32FileSystem::programFolder() {
    const std::wstring path = modulePath();
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace glance::win32
