#include "tray/TrayHook.h"

#include "tray/TrayIcon.h"

namespace glance::TrayHook {

std::intptr_t previousProcedure = 0;

namespace {
// The windowing through which the hook was installed, and the message the
// shell broadcasts to top-level windows when its taskbar has been (re)created.
Windowing* hookWindowing = nullptr;
std::uint32_t taskbarCreatedMessage = 0;

// Broadcasts after which the notification area may draw at another DPI:
// WM_DISPLAYCHANGE, WM_SETTINGCHANGE and WM_DPICHANGED.
constexpr std::uint32_t kDisplayChange = 0x007E;
constexpr std::uint32_t kSettingChange = 0x001A;
constexpr std::uint32_t kDpiChanged = 0x02E0;
}  // namespace

std::intptr_t windowProc(WindowHandle hWnd, std::uint32_t uMsg, std::uintptr_t wParam, std::intptr_t lParam) {
    Windowing& windowing = *hookWindowing;
    const bool restart = uMsg == taskbarCreatedMessage && taskbarCreatedMessage != 0;
    const bool display = uMsg == kDisplayChange || uMsg == kSettingChange || uMsg == kDpiChanged;
    if (uMsg == kTrayCallbackMessage || restart || display) {
        // A borrowed pointer: the control removes the hook before it goes away.
        auto* tray = reinterpret_cast<TrayIcon*>(windowing.getWindowLong(hWnd, kGwlUserData));
        if (uMsg == kTrayCallbackMessage)
            tray->handleTrayMessage(static_cast<std::int32_t>(lParam), static_cast<std::int32_t>(wParam));
        else if (restart)
            tray->handleShellRestart();
        else
            tray->handleDisplayChange();
    }
    return windowing.callWindowProc(previousProcedure, hWnd, uMsg, wParam, lParam);
}

void install(Windowing& windowing, WindowHandle window, TrayIcon& tray) {
    hookWindowing = &windowing;
    taskbarCreatedMessage = windowing.registerWindowMessage("TaskbarCreated");
    previousProcedure = windowing.setWindowLong(window, kGwlWndProc, windowing.procedureAddress(&windowProc));
    windowing.setWindowLong(window, kGwlUserData, reinterpret_cast<std::intptr_t>(&tray));
}

void remove(Windowing& windowing, WindowHandle window) {
    windowing.setWindowLong(window, kGwlWndProc, previousProcedure);
}

}  // namespace glance::TrayHook
