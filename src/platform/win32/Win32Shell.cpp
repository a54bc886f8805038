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

constexpr std::size_t kPathBufferChars = 512;

// The folder's path through its item-ID list, written into buffer.
bool pathFromIdList(std::int32_t folderId, wchar_t* buffer) {
    UniqueCoTaskMem<ITEMIDLIST> idList;
    if (lazy::SHGetSpecialFolderLocation(nullptr, folderId, idList.put()) != S_OK || !idList) return false;
    // A folder without a file-system path (the shell has its item-ID list but
    // cannot convert it) gives no path at all rather than whatever the shell
    // left in the buffer, which could be a bare NUL and so the drive's root.
    return lazy::SHGetPathFromIDListW(idList.get(), buffer) != FALSE;
}

// The folder's path straight from the shell's folder list, written into
// buffer (MAX_PATH characters at most, with its NUL). Nothing is created.
bool pathFromFolderList(std::int32_t folderId, wchar_t* buffer) {
    wchar_t path[MAX_PATH] = {};
    if (lazy::SHGetFolderPathW(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK ||
        path[0] == L'\0')
        return false;
    const std::size_t length = wcsnlen(path, MAX_PATH);
    if (length == MAX_PATH) return false;
    wmemcpy(buffer, path, length + 1);
    return true;
}

}  // namespace

std::wstring Win32Shell::specialFolderRawPath(std::int32_t folderId) {
    // Spaces, not NULs, fill the buffer: the path ends at the last NUL that
    // the shell wrote, and everything after it stays padding. The path stays
    // UTF-16, so a desktop named outside the ANSI code page is still found.
    std::wstring raw(kPathBufferChars, L' ');
    if (pathFromIdList(folderId, raw.data())) return raw;
    // The item-ID route can fail for one folder because of another: with the
    // user's Desktop folder missing, the all-users desktop has no item-ID
    // list either, though its path is known. So each folder falls back to the
    // shell's folder list on its own, and the desktops stay independent.
    raw.assign(kPathBufferChars, L' ');
    if (pathFromFolderList(folderId, raw.data())) return raw;
    return {};
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
