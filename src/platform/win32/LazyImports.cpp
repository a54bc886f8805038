#include "platform/win32/LazyImports.h"

#include <string>

#include "core/Error.h"

namespace glance::win32::lazy {

namespace {

HMODULE loadSystemLibrary(const wchar_t* file, const char* name) {
    HMODULE module = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Windows 7 without KB2533623 does not know the flag. There the name alone
    // is as safe: shell32 is a known DLL and comctl32 comes from the
    // side-by-side store.
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) module = LoadLibraryW(file);
    if (module == nullptr)
        throw PlatformError(systemErrorCode(GetLastError()),
                            std::string(errtext::kFileNotFound) + ": " + name);
    return module;
}

template <typename Function>
Function entryPoint(HMODULE module, const char* library, const char* name) {
    const auto function = entryPointOrNull<Function>(module, name);
    if (function == nullptr)
        throw PlatformError(systemErrorCode(GetLastError()),
                            std::string("Can't find DLL entry point ") + name + " in " + library);
    return function;
}

// Each DLL is loaded once and never freed: its functions are called until
// the process ends. A failed load is tried again at the next call.
struct Shell32 {
    HMODULE module = loadSystemLibrary(L"shell32.dll", "shell32");
    decltype(&::SHGetKnownFolderPath) getKnownFolderPath =
        entryPoint<decltype(getKnownFolderPath)>(module, "shell32", "SHGetKnownFolderPath");
    decltype(&::SHGetFolderPathW) getFolderPath =
        entryPoint<decltype(getFolderPath)>(module, "shell32", "SHGetFolderPathW");
    decltype(&::SHGetSpecialFolderLocation) getSpecialFolderLocation =
        entryPoint<decltype(getSpecialFolderLocation)>(module, "shell32", "SHGetSpecialFolderLocation");
    decltype(&::SHGetPathFromIDListW) getPathFromIdList =
        entryPoint<decltype(getPathFromIdList)>(module, "shell32", "SHGetPathFromIDListW");
    decltype(&::SHChangeNotify) changeNotify =
        entryPoint<decltype(changeNotify)>(module, "shell32", "SHChangeNotify");
    decltype(&::Shell_NotifyIconA) notifyIcon =
        entryPoint<decltype(notifyIcon)>(module, "shell32", "Shell_NotifyIconA");
};

struct Comctl32 {
    HMODULE module = loadSystemLibrary(L"comctl32.dll", "comctl32");
    decltype(&::SetWindowSubclass) setSubclass =
        entryPoint<decltype(setSubclass)>(module, "comctl32", "SetWindowSubclass");
    decltype(&::RemoveWindowSubclass) removeSubclass =
        entryPoint<decltype(removeSubclass)>(module, "comctl32", "RemoveWindowSubclass");
    decltype(&::DefSubclassProc) defSubclassProc =
        entryPoint<decltype(defSubclassProc)>(module, "comctl32", "DefSubclassProc");
    decltype(&::InitCommonControlsEx) initCommonControls =
        entryPoint<decltype(initCommonControls)>(module, "comctl32", "InitCommonControlsEx");
    // Only version 6 (the one the manifest asks for) has it: may be null.
    using LoadIconWithScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    LoadIconWithScaleDownFn loadIconWithScaleDown =
        entryPointOrNull<LoadIconWithScaleDownFn>(module, "LoadIconWithScaleDown");
};

const Shell32& shell32() {
    static const Shell32 library;
    return library;
}

const Comctl32& comctl32() {
    static const Comctl32 library;
    return library;
}

}  // namespace

HRESULT SHGetKnownFolderPath(REFKNOWNFOLDERID folder, DWORD flags, HANDLE token, PWSTR* path) {
    return shell32().getKnownFolderPath(folder, flags, token, path);
}

// ole32, loaded once from System32 at its first use: most runs never need
// COM, and the exe does not map ole32, combase and rpcrt4 at every start.
HMODULE ole32() {
    static const HMODULE module = [] {
        const HMODULE found = LoadLibraryExW(L"ole32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return found != nullptr ? found : LoadLibraryW(L"ole32.dll");
    }();
    return module;
}

void CoTaskMemFree(void* memory) noexcept {
    // A memory the shell handed over means ole32 (or the allocator behind
    // it) is there to load.
    static const auto free = entryPointOrNull<void(WINAPI*)(void*)>(ole32(), "CoTaskMemFree");
    if (free != nullptr && memory != nullptr) free(memory);
}

HRESULT CoInitializeEx(void* reserved, DWORD flags) {
    static const auto initialize = entryPointOrNull<decltype(&::CoInitializeEx)>(ole32(), "CoInitializeEx");
    return initialize != nullptr ? initialize(reserved, flags) : E_NOTIMPL;
}

HRESULT CoCreateInstance(REFCLSID type, IUnknown* outer, DWORD context, REFIID wanted, void** made) {
    static const auto create = entryPointOrNull<decltype(&::CoCreateInstance)>(ole32(), "CoCreateInstance");
    return create != nullptr ? create(type, outer, context, wanted, made) : E_NOTIMPL;
}

HRESULT SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path) {
    return shell32().getFolderPath(owner, folder, token, flags, path);
}

HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, PIDLIST_ABSOLUTE* idList) {
    return shell32().getSpecialFolderLocation(owner, folder, idList);
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE idList, LPWSTR path) {
    return shell32().getPathFromIdList(idList, path);
}

void SHChangeNotify(LONG eventId, UINT flags, LPCVOID item1, LPCVOID item2) {
    shell32().changeNotify(eventId, flags, item1, item2);
}

BOOL Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data) {
    return shell32().notifyIcon(message, data);
}

BOOL SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) {
    return comctl32().setSubclass(window, procedure, id, data);
}

BOOL RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id) {
    return comctl32().removeSubclass(window, procedure, id);
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes) {
    return comctl32().initCommonControls(classes);
}

HRESULT LoadIconWithScaleDown(HINSTANCE module, PCWSTR name, int width, int height, HICON* icon) {
    const auto function = comctl32().loadIconWithScaleDown;
    return function != nullptr ? function(module, name, width, height, icon) : E_NOTIMPL;
}

HRESULT RegisterApplicationRestart(PCWSTR commandLine, DWORD flags) {
    const auto function =
        entryPointOrNull<HRESULT(WINAPI*)(PCWSTR, DWORD)>(L"kernel32.dll", "RegisterApplicationRestart");
    return function != nullptr ? function(commandLine, flags) : E_NOTIMPL;
}

LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return comctl32().defSubclassProc(window, message, wParam, lParam);
}

}  // namespace glance::win32::lazy
