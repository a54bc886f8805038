// Window services through user32: SetWindowLongA/GetWindowLongA/CallWindowProcA
// for the tray hook, registered messages, and the tray control's own window.
#pragma once

#include <exception>

#include "platform/Windowing.h"

namespace glance::win32 {

class Win32Windowing : public Windowing {
public:
    Win32Windowing() = default;
    ~Win32Windowing() override;
    Win32Windowing(const Win32Windowing&) = delete;
    Win32Windowing& operator=(const Win32Windowing&) = delete;

    std::intptr_t setWindowLong(WindowHandle window, int index, std::intptr_t value) override;
    std::intptr_t getWindowLong(WindowHandle window, int index) override;
    std::intptr_t callWindowProc(std::intptr_t procedure, WindowHandle window, std::uint32_t message,
                                 std::uintptr_t wParam, std::intptr_t lParam) override;
    std::intptr_t procedureAddress(PortableWindowProc proc) override;
    std::uint32_t registerWindowMessage(const std::string& name) override;
    WindowHandle createControlWindow(WindowHandle owner) override;
    void destroyWindow(WindowHandle window) override;

private:
    unsigned short classAtom_ = 0;
};

}  // namespace glance::win32
