// GlanceRefresher.exe: builds the Win32 platform, creates and loads the main
// window, and runs the GUI thread's message loop.
#include <windows.h>

#include "platform/win32/Win32Platform.h"
#include "ui/MainWindow.h"

namespace {

// The exe is often started from a Downloads folder, where a planted DLL must
// never be loaded in place of a system one. This narrows the search for every
// later load; the import table is resolved before it, which is why that table
// names only DLLs that Windows always takes from System32 and the others are
// loaded on first use (platform/win32/LazyImports.h).
void restrictDllSearch() {
    using SetDirs = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto setDirs = reinterpret_cast<SetDirs>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDirs) setDirs(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    restrictDllSearch();
    try {
        glance::win32::Win32Platform win32;
        glance::Platform platform = win32.platform();
        glance::MainWindow mainWindow(platform);
        mainWindow.load();
        mainWindow.show();

        const HWND main = reinterpret_cast<HWND>(mainWindow.window().handle());
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            // Tab and arrow keys move the focus between the window's controls.
            if (IsDialogMessageW(main, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return static_cast<int>(msg.wParam);
    } catch (const std::exception& e) {
        MessageBoxA(nullptr, e.what(), "Lumenfold Live Shell Glance Refresher", MB_ICONERROR | MB_OK);
        return 1;
    }
}
