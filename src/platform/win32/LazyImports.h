// The entry points of the Win32 layer that are not in the exe's import table:
// one table, each entry point named once with its DLL, and one load rule.
//
// The loader resolves the import table before WinMain runs, while the
// program's own folder still comes first in the DLL search. So the import
// table names only DLLs that Windows always takes from System32 (its
// KnownDLLs), whose own imports are known DLLs too. shell32 is one of them on
// Windows, but under Wine it pulls in shlwapi and shcore by the ordinary
// search, and comctl32 is not one anywhere: they are in this table, with the
// calls of newer systems and the DLLs that most runs never need (ole32 for COM
// and the shell's allocated answers, the UI Automation notification).
//
// The load rule: a DLL is loaded at the first use of its entry points, on the
// GUI thread (no pool thread ever calls through this table), from System32
// only, and all its entry points are resolved together. comctl32 version 6
// still comes from the side-by-side store that the manifest names.
#pragma once

#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>

// The calls that the Windows 7 headers of the build do not declare, declared
// as the system's DLLs export them; they are only ever called through the table.
extern "C" {
UINT WINAPI GetDpiForWindow(HWND window);
int WINAPI GetSystemMetricsForDpi(int index, UINT dpi);
BOOL WINAPI AdjustWindowRectExForDpi(RECT* rect, DWORD style, BOOL menu, DWORD exStyle, UINT dpi);
HRESULT WINAPI UiaHostProviderFromHwnd(HWND window, IUnknown** provider);
HRESULT WINAPI UiaRaiseNotificationEvent(IUnknown* provider, int kind, int processing, BSTR text,
                                         BSTR activity);
}

namespace glance::win32 {}  // namespace glance::win32

namespace glance::win32::lazy {

// Each DLL of the table.
#define GLANCE_LAZY_DLLS(X) \
    X(kernel32) X(user32) X(shell32) X(comctl32) X(ole32) X(oleaut32) X(uiautomationcore)

enum class Dll : unsigned char {
#define GLANCE_LAZY_DLL(dll) dll,
    GLANCE_LAZY_DLLS(GLANCE_LAZY_DLL)
#undef GLANCE_LAZY_DLL
        count
};

// Each entry point: its DLL, its name, and whether the program cannot do
// without it (then a DLL or entry point that cannot be found throws
// PlatformError with the classic texts, "File not found: shell32"; so once
// SetWindowSubclass has worked, the other two subclass functions cannot fail:
// they run in destructors and window procedures). The others are null where
// they cannot be had.
#define GLANCE_LAZY_IMPORTS(X)                          \
    X(kernel32, SetDefaultDllDirectories, false)        \
    X(kernel32, RegisterApplicationRestart, false)      \
    X(user32, GetDpiForWindow, false)                   \
    X(user32, GetSystemMetricsForDpi, false)            \
    X(user32, ChangeWindowMessageFilterEx, false)       \
    X(user32, AdjustWindowRectExForDpi, false)          \
    X(shell32, SHGetKnownFolderPath, true)              \
    X(shell32, SHGetFolderPathW, true)                  \
    X(shell32, SHGetSpecialFolderLocation, true)        \
    X(shell32, SHGetPathFromIDListW, true)              \
    X(shell32, SHChangeNotify, true)                    \
    X(shell32, Shell_NotifyIconA, true)                 \
    X(shell32, SHFlushSFCache, false)                   \
    X(comctl32, SetWindowSubclass, true)                \
    X(comctl32, RemoveWindowSubclass, true)             \
    X(comctl32, DefSubclassProc, true)                  \
    X(comctl32, InitCommonControlsEx, true)             \
    X(comctl32, LoadIconWithScaleDown, false)           \
    X(ole32, CoTaskMemFree, true)                       \
    X(ole32, CoInitializeEx, true)                      \
    X(ole32, CoCreateInstance, true)                    \
    X(oleaut32, SysAllocString, false)                  \
    X(oleaut32, SysFreeString, false)                   \
    X(uiautomationcore, UiaHostProviderFromHwnd, false) \
    X(uiautomationcore, UiaRaiseNotificationEvent, false)

struct Imports {
#define GLANCE_LAZY_MEMBER(dll, name, needed) decltype(&::name) name;
    GLANCE_LAZY_IMPORTS(GLANCE_LAZY_MEMBER)
#undef GLANCE_LAZY_MEMBER
};

// The table with the entry points of `dll` resolved, its DLL loaded at the
// first call. A failed load throws and is tried again at the next call.
const Imports& load(Dll dll);

// lazy::shell32() and so on: the table with that DLL's entry points resolved.
#define GLANCE_LAZY_ACCESSOR(dll) \
    inline const Imports& dll() { \
        return load(Dll::dll);    \
    }
GLANCE_LAZY_DLLS(GLANCE_LAZY_ACCESSOR)
#undef GLANCE_LAZY_ACCESSOR

}  // namespace glance::win32::lazy
