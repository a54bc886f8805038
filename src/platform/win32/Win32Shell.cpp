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

// Memory the shell allocated for its answer (a path, an item-ID list): ole32,
// or the allocator behind it, is there to load.
void freeShellMemory(void* memory) noexcept {
    try {
        lazy::ole32().CoTaskMemFree(memory);
    } catch (const PlatformError&) {
    }
}
template <class T>
using UniqueShellMemory = UniqueHandle<T*, CloseWith<&freeShellMemory>>;

// A path the shell wrote into a MAX_PATH buffer; none when it wrote nothing
// or filled the buffer without its NUL.
std::optional<std::wstring> writtenPath(const wchar_t* buffer) {
    const std::size_t length = wcsnlen(buffer, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return std::nullopt;
    return std::wstring(buffer, length);
}

// The folder's path as its location is kept now (the folder's "User Shell
// Folders" value, expanded), from the shell's folder list: up to MAX_PATH,
// with nothing allocated. The folder is not required to exist: a desktop
// that was deleted or moved away keeps its path, so that the counter can
// watch for it to come back. Nothing is created.
std::optional<std::wstring> pathFromFolderList(std::int32_t folderId) {
    wchar_t path[MAX_PATH] = {};
    if (lazy::shell32().SHGetFolderPathW(nullptr, folderId | CSIDL_FLAG_DONT_VERIFY, nullptr,
                                         SHGFP_TYPE_CURRENT, path) != S_OK)
        return std::nullopt;
    return writtenPath(path);
}

// The same from the known-folder API, at any length, for the two desktops.
std::optional<std::wstring> knownFolderPath(std::int32_t folderId) {
    const KNOWNFOLDERID* folder = folderId == CSIDL_DESKTOP                   ? &FOLDERID_Desktop
                                  : folderId == CSIDL_COMMON_DESKTOPDIRECTORY ? &FOLDERID_PublicDesktop
                                                                              : nullptr;
    UniqueShellMemory<wchar_t> path;
    if (folder == nullptr ||
        lazy::shell32().SHGetKnownFolderPath(*folder, KF_FLAG_DONT_VERIFY, nullptr, path.put()) != S_OK ||
        !path || *path.get() == L'\0')
        return std::nullopt;
    return std::wstring(path.get());
}

// The folder's path through its item-ID list.
std::optional<std::wstring> pathFromIdList(std::int32_t folderId) {
    UniqueShellMemory<ITEMIDLIST> idList;
    if (lazy::shell32().SHGetSpecialFolderLocation(nullptr, folderId, idList.put()) != S_OK || !idList)
        return std::nullopt;
    // A folder without a file-system path (the shell has its item-ID list but
    // cannot convert it) gives no path at all.
    wchar_t path[MAX_PATH] = {};
    if (lazy::shell32().SHGetPathFromIDListW(idList.get(), path) == FALSE) return std::nullopt;
    return writtenPath(path);
}

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

std::optional<std::wstring> Win32Shell::specialFolderPath(std::int32_t folderId) {
    // Where the folder is now: the folder list first, as it allocates nothing
    // (under Wine the known-folder API maps ole32, rpcrt4 and combase for its
    // answer), then the known-folder API for a path too long for the list.
    // The item-ID route comes last: it may go on answering a desktop's old
    // place after it was redirected (Wine's keeps it for the life of the
    // process). The path stays UTF-16, so a desktop named outside the ANSI
    // code page is still found.
    if (std::optional<std::wstring> path = pathFromFolderList(folderId)) return path;
    if (std::optional<std::wstring> path = knownFolderPath(folderId)) return path;
    return pathFromIdList(folderId);
}

void Win32Shell::changeNotify(std::int32_t eventId, std::uint32_t flags) {
    lazy::shell32().SHChangeNotify(static_cast<LONG>(eventId), flags, nullptr, nullptr);
}

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
