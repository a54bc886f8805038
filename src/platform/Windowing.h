// The raw window services that the tray control and its hook rely on: window
// procedure replacement, the user-data slot and the control's own window.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace glance {

inline constexpr int kGwlWndProc = -4;
inline constexpr int kGwlUserData = -21;

// A window procedure the logic can install: portable types, C++ linkage. The
// platform turns it into an address the system can call.
using PortableWindowProc = std::intptr_t (*)(WindowHandle window, std::uint32_t message,
                                             std::uintptr_t wParam, std::intptr_t lParam);

class Windowing {
public:
    virtual ~Windowing() = default;
    // SetWindowLongA: returns the previous value.
    virtual std::intptr_t setWindowLong(WindowHandle window, int index, std::intptr_t value) = 0;
    // GetWindowLongA.
    virtual std::intptr_t getWindowLong(WindowHandle window, int index) = 0;
    // CallWindowProcA.
    virtual std::intptr_t callWindowProc(std::intptr_t procedure, WindowHandle window, std::uint32_t message,
                                         std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // The address to install with kGwlWndProc so that the system calls proc.
    virtual std::intptr_t procedureAddress(PortableWindowProc proc) = 0;
    // RegisterWindowMessageA.
    virtual std::uint32_t registerWindowMessage(const std::string& name) = 0;
    // A hidden top-level window owned by owner (so that it also receives the
    // shell's broadcasts), for a control that needs a window of its own.
    virtual WindowHandle createControlWindow(WindowHandle owner) = 0;
    virtual void destroyWindow(WindowHandle window) = 0;
};

}  // namespace glance
