#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "core/Error.h"
#include "platform/win32/UniqueHandle.h"
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

// Opens a directory search the cheapest way: no short names, large fetches.
UniqueFindHandle findFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry) {
    return UniqueFindHandle(FindFirstFileExW(extendedPath(pattern).c_str(), FindExInfoBasic, &entry,
                                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
}

class Win32FolderCounter : public FolderCounter {
public:
    FolderEntryCounts countEntries(const std::wstring& folderPath) override {
        return countFolderEntries(folderPath);
    }
};

// A folder path as the change notification takes it: without a trailing
// backslash, except for a drive's root.
std::wstring watchablePath(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return extendedPath(path);
}

// The system's change notification on the names directly in one folder:
// files and subfolders created, deleted, renamed, moved in or out. Writes to
// files (FILE_NOTIFY_CHANGE_LAST_WRITE, SIZE) and subfolders' contents (no
// subtree) are left out: they never change the count, and a download being
// written would otherwise signal all the while.
class Win32FolderWatch : public ChangeWatch {
public:
    Win32FolderWatch(const std::wstring& folderPath, Win32WakeHandles* wakes) : wakes_(wakes) {
        notification_.reset(
            FindFirstChangeNotificationW(watchablePath(folderPath).c_str(), FALSE,
                                         FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME));
        if (!notification_) throw PlatformError(systemErrorCode(GetLastError()));
        if (wakes_ != nullptr) wakes_->add(notification_.get());
    }
    ~Win32FolderWatch() override {
        if (wakes_ != nullptr) wakes_->remove(notification_.get());
    }
    Win32FolderWatch(const Win32FolderWatch&) = delete;
    Win32FolderWatch& operator=(const Win32FolderWatch&) = delete;

    bool fired() override { return WaitForSingleObject(notification_.get(), 0) != WAIT_TIMEOUT; }

    void rearm() override {
        if (!FindNextChangeNotification(notification_.get()))
            throw PlatformError(systemErrorCode(GetLastError()));
        if (wakes_ != nullptr) wakes_->rearmed(notification_.get());
    }

private:
    UniqueChangeNotification notification_;
    Win32WakeHandles* wakes_;
};

}  // namespace

FolderEntryCounts countFolderEntries(const std::wstring& folderPath) {
    if (folderPath.empty()) throw PlatformError(errtext::kPathNotFound);
    std::wstring pattern = folderPath;
    if (pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';

    FolderEntryCounts counts;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle search = findFirst(pattern, entry);
    if (!search) {
        const DWORD error = GetLastError();
        // A folder with no entries at all (a drive's empty root has not even
        // "." and "..") reports "file not found"; a missing folder does not.
        if (error == ERROR_FILE_NOT_FOUND) {
            const DWORD attributes = GetFileAttributesW(extendedPath(folderPath).c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                return counts;
            throw PlatformError(errtext::kPathNotFound);
        }
        throw PlatformError(systemErrorCode(error));
    }
    do {
        if (isDotEntry(entry.cFileName)) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ++counts.subfolders;
        } else {
            ++counts.files;
        }
    } while (FindNextFileW(search.get(), &entry));
    // A search that stops early would give a wrong count, not a smaller one.
    if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) {
        throw PlatformError(systemErrorCode(error));
    }
    return counts;
}

std::unique_ptr<FolderCounter> Win32FileSystem::createCounter() {
    return std::make_unique<Win32FolderCounter>();
}

std::int64_t Win32FileSystem::lastModified(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(extendedPath(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        throw PlatformError(systemErrorCode(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error));
    }
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                     data.ftLastWriteTime.dwLowDateTime);
}

std::unique_ptr<ChangeWatch> Win32FileSystem::watchFolder(const std::wstring& folderPath) {
    if (folderPath.empty()) throw PlatformError(errtext::kPathNotFound);
    return std::make_unique<Win32FolderWatch>(folderPath, wakes_);
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
