// GlanceRefresher.exe: builds the Win32 platform, creates and loads the main
// window, and runs the GUI thread's message loop.
#include <windows.h>

#include "controller/MainWindow.h"
#include "core/Unicode.h"
#include "platform/win32/LazyImports.h"
#include "platform/win32/Win32CloseRequest.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Text.h"

namespace {

// The exe is often started from a Downloads folder, where a planted DLL must
// never be loaded in place of a system one. This narrows the search for every
// later load; the import table is resolved before it, which is why that table
// names only DLLs that Windows always takes from System32 and the others are
// loaded on first use (platform/win32/LazyImports.h).
void restrictDllSearch() {
    if (const auto setDirs = glance::win32::lazy::kernel32().SetDefaultDllDirectories)
        setDirs(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    restrictDllSearch();
    try {
        glance::win32::Win32Platform win32;
        glance::Platform platform = win32.platform();
        glance::MainWindow mainWindow(platform);
        // An installer that replaces the program's files closes it as its
        // close box does (icon out of the tray, settings as they are), whether
        // through Windows' Restart Manager, which sends the end-session
        // messages and starts the program again afterwards, or through the
        // installers' own request, which crosses sessions. Not after a crash
        // or a hang, which would only repeat; not after a reboot, when the
        // start-up entry starts it and a second copy would show the window.
        if (const auto restart = glance::win32::lazy::kernel32().RegisterApplicationRestart)
            restart(nullptr, RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT);
        // Listening before load() shows the tray icon: an installer that
        // sees the icon finds the request to close it.
        glance::win32::Win32CloseRequest installerClose(win32.loop.wakeHandles(),
                                                        reinterpret_cast<HWND>(mainWindow.window().handle()));
        mainWindow.load();
        mainWindow.show();
        const HWND main = reinterpret_cast<HWND>(mainWindow.window().handle());
        // The first count, the baseline of the first tick, comes once the
        // window is on screen and painted: a large desktop's listing never
        // holds back the window's first appearance. It reports nothing.
        UpdateWindow(main);
        mainWindow.engine().takeFirstCount();

        // The top-level loop: one wait over the messages, the desktop folders'
        // change watches and the top-level work's time; one message
        // dispatched; then, only here, the quick check of a desktop change,
        // which so never runs inside a handler or a nested loop (Win32Loop.h).
        for (;;) {
            win32.loop.waitAtTopLevel();
            MSG msg;
            if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
                // Tab and arrow keys move the focus between the window's controls.
                if (!IsDialogMessageW(main, &msg)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
            }
            win32.loop.runTopLevelWork();
        }
    } catch (const std::exception& e) {
        // Nothing could start: said in a box of its own, since there is no window.
        MessageBoxW(nullptr, glance::win32::widenUtf8(glance::printableExcerpt(e.what(), 512)).c_str(),
                    L"Lumenfold Live Shell Glance Refresher", MB_ICONERROR | MB_OK);
        return 1;
    }
}
