// Folder paths, the change notification and starting a process.
#include "platform/win32/Win32Shell.h"

#include <shlobj.h>
#include <windows.h>

#include "core/Error.h"
#include "platform/win32/LazyImports.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32FileState.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

namespace {

// Memory the shell allocated for its answer (a path, an item-ID list).
template <class T>
using UniqueShellMemory = UniqueHandle<T*, CloseWith<&lazy::CoTaskMemFree>>;

// The known folder of a folder id, where there is one.
const KNOWNFOLDERID* knownFolder(std::int32_t folderId) {
    switch (folderId) {
    case CSIDL_DESKTOP:
        return &FOLDERID_Desktop;
    case CSIDL_COMMON_DESKTOPDIRECTORY:
        return &FOLDERID_PublicDesktop;
    default:
        return nullptr;
    }
}

// The folder's path as its location is kept now (the folder's "User Shell
// Folders" value, expanded), at any length. The folder is not required to
// exist: a desktop that was deleted or moved away keeps its path, so that the
// counter can watch for it to come back. Nothing is created.
std::optional<std::wstring> knownFolderPath(std::int32_t folderId) {
    const KNOWNFOLDERID* folder = knownFolder(folderId);
    UniqueShellMemory<wchar_t> path;
    if (folder == nullptr ||
        lazy::SHGetKnownFolderPath(*folder, KF_FLAG_DONT_VERIFY, nullptr, path.put()) != S_OK || !path ||
        *path.get() == L'\0')
        return std::nullopt;
    return std::wstring(path.get());
}

// The folder's path through its item-ID list (a MAX_PATH buffer: the
// system's conversion has no longer form before Windows 10).
std::optional<std::wstring> pathFromIdList(std::int32_t folderId) {
    UniqueShellMemory<ITEMIDLIST> idList;
    if (lazy::SHGetSpecialFolderLocation(nullptr, folderId, idList.put()) != S_OK || !idList)
        return std::nullopt;
    // A folder without a file-system path (the shell has its item-ID list but
    // cannot convert it) gives no path at all.
    wchar_t path[MAX_PATH] = {};
    if (lazy::SHGetPathFromIDListW(idList.get(), path) == FALSE) return std::nullopt;
    const std::size_t length = wcsnlen(path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return std::nullopt;
    return std::wstring(path, length);
}

}  // namespace

std::optional<std::wstring> Win32Shell::specialFolderPath(std::int32_t folderId) {
    // The known folder first: it reads where the folder is now, while the
    // item-ID route may go on answering a desktop's old place after it was
    // redirected (Wine's keeps it for the life of the process). The path stays
    // UTF-16, so a desktop named outside the ANSI code page is still found.
    if (std::optional<std::wstring> path = knownFolderPath(folderId)) return path;
    return pathFromIdList(folderId);
}

void Win32Shell::changeNotify(std::int32_t eventId, std::uint32_t flags) {
    lazy::SHChangeNotify(static_cast<LONG>(eventId), flags, nullptr, nullptr);
}

namespace {

// A program named without a folder ("explorer") is taken from the Windows
// folders only: the default search would look in the program's own folder
// first, and the exe is often run from a Downloads folder where a planted
// explorer.exe must never start. Empty: the command names its program with
// a folder, and the system uses it as given.
std::wstring systemProgram(const std::wstring& command) {
    const std::wstring name = command.substr(0, command.find(L' '));
    if (name.find_first_of(L"\\/:\"") != std::wstring::npos) return {};
    const std::wstring file =
        name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".exe") == 0 ? name : name + L".exe";
    wchar_t folder[MAX_PATH];
    for (auto* get : {&GetWindowsDirectoryW, &GetSystemDirectoryW}) {
        const UINT n = get(folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) continue;
        const std::wstring candidate = std::wstring(folder) + L"\\" + file;
        if (fileState(candidate) == FileState::Present) return candidate;
    }
    throw PlatformError(errtext::kFileNotFound);
}

}  // namespace

void Win32Shell::startProcess(const std::string& commandLine, int showState) {
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::wstring command = widenUtf8(commandLine);
    const std::wstring program = systemProgram(command);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showState);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.empty() ? nullptr : program.c_str(), command.data(), nullptr, nullptr, FALSE,
                        0, nullptr, nullptr, &startup, &started)) {
        throw PlatformError(errtext::kFileNotFound);
    }
    // Not waited for: both handles are closed at once.
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);
}

}  // namespace glance::win32
