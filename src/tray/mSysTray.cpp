#include "tray/mSysTray.h"

#include "tray/cSysTray.h"

namespace glance::mSysTray {

std::intptr_t PrevWndProc = 0;

namespace {
// The windowing through which the hook was installed, and the message the
// shell broadcasts to top-level windows when its taskbar has been (re)created.
Windowing* HookWindowing = nullptr;
std::uint32_t TaskbarCreatedMessage = 0;
}  // namespace

std::intptr_t TrayWindowProc(WindowHandle hWnd, std::uint32_t uMsg, std::uintptr_t wParam,
                             std::intptr_t lParam) {
    Windowing& windowing = *HookWindowing;
    if (uMsg == TrayCallbackMessage || (uMsg == TaskbarCreatedMessage && TaskbarCreatedMessage != 0)) {
        // A borrowed pointer: the control removes the hook before it goes away.
        auto* tray = reinterpret_cast<cSysTray*>(windowing.getWindowLong(hWnd, kGwlUserData));
        if (uMsg == TrayCallbackMessage)
            tray->HandleTrayMessage(static_cast<std::int32_t>(lParam), static_cast<std::int32_t>(wParam));
        else
            tray->HandleShellRestart();
    }
    return windowing.callWindowProc(PrevWndProc, hWnd, uMsg, wParam, lParam);
}

void InstallHook(Windowing& windowing, WindowHandle window, cSysTray& tray) {
    HookWindowing = &windowing;
    TaskbarCreatedMessage = windowing.registerWindowMessage("TaskbarCreated");
    PrevWndProc = windowing.setWindowLong(window, kGwlWndProc, windowing.procedureAddress(&TrayWindowProc));
    windowing.setWindowLong(window, kGwlUserData, reinterpret_cast<std::intptr_t>(&tray));
}

void RemoveHook(Windowing& windowing, WindowHandle window) {
    windowing.setWindowLong(window, kGwlWndProc, PrevWndProc);
}

}  // namespace glance::mSysTray
