// The hook that stands in for the tray control window's procedure while its
// icon is in the notification area: it hands the icon's callback messages to
// the control and passes every message on to the procedure it replaced.
#pragma once

#include <cstdint>

#include "platform/Types.h"
#include "platform/Windowing.h"

namespace glance {

class cSysTray;

namespace mSysTray {

// The message the shell sends to the icon's window for every mouse or balloon
// event of the icon (WM_USER + 101).
inline constexpr std::uint32_t TrayCallbackMessage = 1125;

// The procedure the hook replaced. One slot for the whole program, so only one
// window can be hooked at a time; the program hooks only its one tray control.
extern std::intptr_t PrevWndProc;

std::intptr_t TrayWindowProc(WindowHandle hWnd, std::uint32_t uMsg, std::uintptr_t wParam,
                             std::intptr_t lParam);

// Replaces the window's procedure with the hook, keeping the old one in
// PrevWndProc, then stores the control's address (a borrowed pointer) in the
// window's user-data slot.
void InstallHook(Windowing& windowing, WindowHandle window, cSysTray& tray);

// Puts PrevWndProc back. The user-data slot is left as it is.
void RemoveHook(Windowing& windowing, WindowHandle window);

}  // namespace mSysTray
}  // namespace glance
