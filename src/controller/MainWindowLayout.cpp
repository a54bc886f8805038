#include "controller/MainWindowLayout.h"

namespace glance {

const WindowLayout& mainWindowLayout() {
    using K = ControlKind;
    using C = ControlId;
    static const WindowLayout design{
        .caption = "Form1",  // replaced by the product name at start-up
        .clientWidth = 8040,
        .clientHeight = 2520,
        .backColor = kWhite,
        .font = {"Arial", 9.0, true, 204},
        .buttonFont = {"Arial", 11.25, true, 204},
        .buttonForeColor = kSystemButtonText,
        .buttonBackColor = kWhite,
        .controls = {{C::HelpButton, K::PushButton, "Help", C::Window, 120, 120, 7800, 405, 4},
                     {C::OptionsFrame, K::Frame, "Startup Options", C::Window, 120, 630, 7800, 735, 5},
                     {C::StartWithWindowsBox, K::CheckBox, "Load this software on Windows startup",
                      C::OptionsFrame, 240, 300, 3810, 285, 0},
                     {C::StartInTrayBox, K::CheckBox, "Start in system tray", C::OptionsFrame, 4200, 300,
                      2100, 285, 1},
                     {C::TrayIcon, K::TrayControl, "", C::Window, 1800, 0, 510, 510, -1},
                     {C::RefreshTimer, K::Timer, "", C::Window, 2640, 0, 0, 0, -1},
                     {C::SwitchButton, K::PushButton, "Turn On", C::Window, 120, 1485, 7800, 405, 2},
                     {C::RefreshNowButton, K::PushButton, "Update Icons On Desktop Now (Test)", C::Window,
                      120, 1995, 7800, 405, 3},
                     {C::SkinEngine, K::SkinEngine, "", C::Window, 2280, 0, 360, 360, -1}}};
    return design;
}

}  // namespace glance
