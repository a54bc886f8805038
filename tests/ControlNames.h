// Readable names of the main window's controls, for failure keys and for
// event records in the tests.
#pragma once

#include <string>

#include "platform/Ui.h"

namespace glance {

inline std::string controlName(ControlId id) {
    switch (id) {
    case ControlId::Window:
        return "window";
    case ControlId::HelpButton:
        return "helpButton";
    case ControlId::OptionsFrame:
        return "optionsFrame";
    case ControlId::StartWithWindowsBox:
        return "startWithWindowsBox";
    case ControlId::StartInTrayBox:
        return "startInTrayBox";
    case ControlId::TrayIcon:
        return "trayIcon";
    case ControlId::RefreshTimer:
        return "refreshTimer";
    case ControlId::SwitchButton:
        return "switchButton";
    case ControlId::RefreshNowButton:
        return "refreshNowButton";
    case ControlId::SkinEngine:
        return "skinEngine";
    }
    return "?";
}

}  // namespace glance
