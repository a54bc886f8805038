// A stand-in notification area for the e2e tests, on a Wine desktop that has
// none of its own: a window of the taskbar's class that takes every icon
// request the shell forwards to it and writes one line per request to a log.
//
//   tray_refusing.exe <log file>
//
// The log gets "ready", then "<seconds since start> <add|modify|delete|...>"
// per request. It ends when "<log file>.stop" appears, or after five minutes.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::FILE* logFile = nullptr;
DWORD started = 0;

void logLine(const char* text) {
    if (logFile == nullptr) return;
    std::fprintf(logFile, "%s\n", text);
    std::fflush(logFile);
}

LRESULT CALLBACK trayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        static const char* const kinds[] = {"add", "modify", "delete", "setfocus", "setversion"};
        char line[64];
        std::snprintf(line, sizeof line, "%.1f %s", (GetTickCount() - started) / 1000.0,
                      data->dwData < 5 ? kinds[data->dwData] : "other");
        logLine(line);
        return FALSE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc < 2) return 2;
    const std::string stopPath = std::string(__argv[1]) + ".stop";
    logFile = std::fopen(__argv[1], "ab");
    started = GetTickCount();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = trayProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"Shell_TrayWnd";
    if (!RegisterClassW(&windowClass)) return 1;
    // Topmost and the newest: the first window of its class that the shell finds.
    if (!CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 0, 0,
                         nullptr, nullptr, instance, nullptr))
        return 1;
    logLine("ready");
    SetTimer(nullptr, 0, 200, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && (GetFileAttributesA(stopPath.c_str()) != INVALID_FILE_ATTRIBUTES ||
                                        GetTickCount() - started > 300000))
            break;
        DispatchMessageW(&msg);
    }
    logLine("exit");
    return 0;
}
