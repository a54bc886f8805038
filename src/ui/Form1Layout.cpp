#include "ui/Form1Layout.h"

namespace glance {

const FormLayout& Form1Layout() {
    static const FormLayout design = [] {
        FormLayout f;
        f.name = "Form1";
        f.caption = "Form1";
        f.clientWidth = 8040;
        f.clientHeight = 2520;
        f.backColor = kWhite;
        f.font = {"Arial", 9.0, true, 204};
        f.buttonFont = {"Arial", 11.25, true, 204};
        f.buttonForeColor = kSystemButtonText;
        f.buttonBackColor = kWhite;
        using K = ControlKind;
        f.controls = {
            {"PushButton1", K::PushButton, "Help", "", 120, 120, 7800, 405, 4},
            {"Frame3", K::Frame, "Startup Options", "", 120, 630, 7800, 735, 5},
            {"Check3", K::CheckBox, "Load this software on Windows startup", "Frame3", 240, 300, 3810, 285,
             0},
            {"Check8", K::CheckBox, "Start in system tray", "Frame3", 4200, 300, 2100, 285, 1},
            {"cSysTray1", K::TrayControl, "", "", 1800, 0, 510, 510, -1},
            {"Timer1", K::Timer, "", "", 2640, 0, 0, 0, -1},
            {"PushButton4", K::PushButton, "Turn On", "", 120, 1485, 7800, 405, 2},
            {"PushButton2", K::PushButton, "Update Icons On Desktop Now (Test)", "", 120, 1995, 7800, 405, 3},
            {"SkinFramework1", K::SkinEngine, "", "", 2280, 0, 360, 360, -1},
        };
        return f;
    }();
    return design;
}

}  // namespace glance
