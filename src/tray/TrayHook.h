// The hook that stands in for the tray control window's procedure while its
// icon is in the notification area: it hands the icon's callback messages to
// the control and passes every message on to the procedure it replaced.
#pragma once

#include <cstdint>

#include "platform/Types.h"
#include "platform/Windowing.h"

namespace glance {

class TrayIcon;

// The message the shell sends to the icon's window for every mouse or balloon
// event of the icon (WM_USER + 101).
inline constexpr std::uint32_t kTrayCallbackMessage = 1125;

namespace TrayHook {

// The procedure the hook replaced. One slot for the whole program, so only one
// window can be hooked at a time; the program hooks only its one tray control.
extern std::intptr_t previousProcedure;

std::intptr_t windowProc(WindowHandle hWnd, std::uint32_t uMsg, std::uintptr_t wParam, std::intptr_t lParam);

// Replaces the window's procedure with the hook, keeping the old one in
// previousProcedure, then stores the control's address (a borrowed pointer) in the
// window's user-data slot.
void install(Windowing& windowing, WindowHandle window, TrayIcon& tray);

// Puts previousProcedure back. The user-data slot is left as it is.
void remove(Windowing& windowing, WindowHandle window);

}  // namespace TrayHook
}  // namespace glance
