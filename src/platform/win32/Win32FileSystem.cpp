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

std::int32_t narrowCount(std::int64_t n) {
    if (n > std::numeric_limits<std::int32_t>::max()) throw PlatformError(errtext::kOverflow);
    return static_cast<std::int32_t>(n);
}

// Opens a directory search the cheapest way: no short names, large fetches.
UniqueFindHandle findFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry) {
    return UniqueFindHandle(FindFirstFileExW(extendedPath(pattern).c_str(), FindExInfoBasic, &entry,
                                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
}

class Win32FolderCounter : public FolderCounter {
public:
    std::int32_t subfolderCount(const std::wstring& folderPath) override {
        return narrowCount(countFolderEntries(folderPath).subfolders);
    }
    std::int32_t fileCount(const std::wstring& folderPath) override {
        return narrowCount(countFolderEntries(folderPath).files);
    }
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
        throw PlatformError(errorDescription(error));
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
        throw PlatformError(errorDescription(error));
    }
    return counts;
}

std::unique_ptr<FolderCounter> Win32FileSystem::createCounter() {
    return std::make_unique<Win32FolderCounter>();
}

void Win32FileSystem::lastModified(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(extendedPath(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        throw PlatformError(errorDescription(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error));
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
        throw PlatformError(errorDescription(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error));
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) throw PlatformError(errorDescription(GetLastError()));
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
            throw PlatformError(errorDescription(GetLastError()));
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
