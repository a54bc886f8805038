// The floor of the idle benchmark: the least a Windows program with a window
// and a one-second timer costs. An empty window whose timer does nothing,
// and a plain message loop; with the argument "hidden", the window is never
// shown (the program hidden in the tray). bench/program.sh measures it beside
// GlanceRefresher.exe.
#include <windows.h>

#include <cstring>

namespace {

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int show) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"GlanceIdleFloor";
    if (!RegisterClassW(&windowClass)) return 1;
    HWND window =
        CreateWindowExW(0, windowClass.lpszClassName, L"Idle floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 420, 300, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    if (std::strcmp(arguments, "hidden") != 0) ShowWindow(window, show);
    SetTimer(window, 1, 1000, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
