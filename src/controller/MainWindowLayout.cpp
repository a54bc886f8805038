#include "controller/MainWindowLayout.h"

namespace glance {

const WindowLayout& mainWindowLayout() {
    static const WindowLayout design = [] {
        WindowLayout layout;
        layout.caption = "Form1";  // replaced by the product name at start-up
        layout.clientWidth = 8040;
        layout.clientHeight = 2520;
        layout.backColor = kWhite;
        layout.font = {"Arial", 9.0, true, 204};
        layout.buttonFont = {"Arial", 11.25, true, 204};
        layout.buttonForeColor = kSystemButtonText;
        layout.buttonBackColor = kWhite;
        using K = ControlKind;
        using C = ControlId;
        layout.controls = {
            {C::HelpButton, K::PushButton, "Help", C::Window, 120, 120, 7800, 405, 4},
            {C::OptionsFrame, K::Frame, "Startup Options", C::Window, 120, 630, 7800, 735, 5},
            {C::StartWithWindowsBox, K::CheckBox, "Load this software on Windows startup", C::OptionsFrame,
             240, 300, 3810, 285, 0},
            {C::StartInTrayBox, K::CheckBox, "Start in system tray", C::OptionsFrame, 4200, 300, 2100, 285,
             1},
            {C::TrayIcon, K::TrayControl, "", C::Window, 1800, 0, 510, 510, -1},
            {C::RefreshTimer, K::Timer, "", C::Window, 2640, 0, 0, 0, -1},
            {C::SwitchButton, K::PushButton, "Turn On", C::Window, 120, 1485, 7800, 405, 2},
            {C::RefreshNowButton, K::PushButton, "Update Icons On Desktop Now (Test)", C::Window, 120, 1995,
             7800, 405, 3},
            {C::SkinEngine, K::SkinEngine, "", C::Window, 2280, 0, 360, 360, -1},
        };
        return layout;
    }();
    return design;
}

}  // namespace glance
