// The load sequence of the program: the main window's load handler, which
// runs the whole start-up in labelled steps.
#pragma once

#include "app/ManagedSettings.h"
#include "app/Preferences.h"
#include "app/Skin.h"
#include "engine/RefreshEngine.h"
#include "platform/Platform.h"
#include "tray/TrayIcon.h"

namespace glance {

// What the start-up sets up: the main window and the parts it owns.
struct LoadTargets {
    Window& window;
    RefreshEngine& engine;
    SkinEngine& skin;
    TrayIcon& trayIcon;
    Preferences& preferences;
    // What the administrator holds, read at start.
    ManagedSettings& managed;
};

// The main window's load handler: the whole start-up, in labelled steps,
// then the silent repair of a start-up entry left behind by a move.
void runLoadSequence(Platform& platform, LoadTargets& targets);

}  // namespace glance
