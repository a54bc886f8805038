// The shell and common-controls entry points of the Win32 layer, taken from
// the system's DLLs on first use instead of from the exe's import table.
//
// The loader resolves the import table before WinMain runs, while the
// program's own folder still comes first in the DLL search. So the table
// names only DLLs that Windows always takes from System32 (its KnownDLLs),
// whose own imports are known DLLs too. shell32 is one of them on Windows,
// but under Wine it pulls in shlwapi and shcore by the ordinary search, and
// comctl32 is not one anywhere. Both are loaded here (and ole32, which only
// the shell's allocated answers need), after WinMain has
// narrowed the search to System32, and only from there (comctl32 version 6
// still comes from the side-by-side store that the manifest names).
//
// A DLL or entry point that cannot be found throws PlatformError with the
// classic texts ("File not found: shell32"). A DLL's entry points are
// resolved together, so once SetWindowSubclass has worked, the other two
// subclass functions cannot fail (they run in destructors and window
// procedures).
#pragma once

#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

namespace glance::win32 {

// An entry point by name, typed; null where the module does not have it (an
// optional call of a newer system). The module is one already loaded.
template <class Function>
Function entryPointOrNull(HMODULE module, const char* name) {
    return module != nullptr
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}
template <class Function>
Function entryPointOrNull(const wchar_t* module, const char* name) {
    return entryPointOrNull<Function>(GetModuleHandleW(module), name);
}

}  // namespace glance::win32

namespace glance::win32::lazy {

// shell32's entry points, by their own names, resolved together on first use.
struct Shell32 {
    Shell32();
    decltype(&::SHGetKnownFolderPath) SHGetKnownFolderPath;
    decltype(&::SHGetFolderPathW) SHGetFolderPathW;
    decltype(&::SHGetSpecialFolderLocation) SHGetSpecialFolderLocation;
    decltype(&::SHGetPathFromIDListW) SHGetPathFromIDListW;
    decltype(&::SHChangeNotify) SHChangeNotify;
    decltype(&::Shell_NotifyIconA) Shell_NotifyIconA;
};
const Shell32& shell32();

// comctl32's, the same way.
struct Comctl32 {
    Comctl32();
    decltype(&::SetWindowSubclass) SetWindowSubclass;
    decltype(&::RemoveWindowSubclass) RemoveWindowSubclass;
    decltype(&::DefSubclassProc) DefSubclassProc;
    decltype(&::InitCommonControlsEx) InitCommonControlsEx;
    // Null where the common controls are older than version 6.
    HRESULT(WINAPI* LoadIconWithScaleDown)(HINSTANCE, PCWSTR, int, int, HICON*);
};
const Comctl32& comctl32();

// The COM task allocator's free, from ole32: only the shell's answers that
// it allocated need it, so the exe does not map ole32 at every start.
void CoTaskMemFree(void* memory) noexcept;
// COM for the accessibility property service, from the same ole32 loaded on
// first use; E_NOTIMPL where it cannot be had.
HRESULT CoInitializeEx(void* reserved, DWORD flags);
HRESULT CoCreateInstance(REFCLSID type, IUnknown* outer, DWORD context, REFIID wanted, void** made);

// kernel32's, looked up rather than imported so that a system without it
// still starts the program: E_NOTIMPL there.
HRESULT RegisterApplicationRestart(PCWSTR commandLine, DWORD flags);

}  // namespace glance::win32::lazy
