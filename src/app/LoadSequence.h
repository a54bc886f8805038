// The load sequence of the program: the main window's load handler, which
// runs the whole start-up in labelled steps, and the two steps that run
// nowhere else (the program title and the home-page draw).
#pragma once

#include <string>
#include <string_view>

#include "app/ManagedSettings.h"
#include "app/Preferences.h"
#include "app/Skin.h"
#include "platform/Platform.h"
#include "tray/TrayIcon.h"

namespace glance {

// The main window's load handler: the whole start-up of the window and the
// parts it owns, in labelled steps, then the silent repair of a start-up
// entry left behind by a move. managed receives what the administrator holds.
void runLoadSequence(Platform& platform, Window& window, SkinEngine& skin, TrayIcon& trayIcon,
                     Preferences& preferences, ManagedSettings& managed);

// The program title, which message boxes without a title of their own show:
// the name cut at its last space at least once, then again while longer than
// 40 characters. Throws PlatformError when there is no space left to cut at.
std::string shortenTitle(std::string_view name);

// On one start in a hundred, opens the vendor's home page in a minimized window.
void openHomePageByChance(System& system, Shell& shell);

}  // namespace glance
