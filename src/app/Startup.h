// The start-up of the program: the load handler of the main window and the
// two small procedures only it uses.
#pragma once

#include <cstdint>
#include <string>

#include "app/Preferences.h"
#include "app/Skin.h"
#include "engine/RefreshEngine.h"
#include "platform/Platform.h"
#include "tray/TrayIcon.h"

namespace glance {

// A small seeded pseudo-random generator (24-bit linear congruential), enough
// for a one-in-a-hundred draw.
class Random {
public:
    void seed(double value);
    // A number r with 0 <= r < 1.
    double next();

private:
    std::uint32_t state_ = 0x50000;
};

// True when the last-modified time of path can be read; never throws.
bool fileExists(FileSystem& files, const std::wstring& path);

// On one start in a hundred, opens the vendor's home page in a minimized window.
void openHomePageByChance(System& system, Shell& shell);

// What the start-up sets up: the main window and the parts it owns.
struct StartupTargets {
    Window& window;
    RefreshEngine& engine;
    SkinEngine& skin;
    TrayIcon& trayIcon;
    Preferences& preferences;
};

// The main window's load handler: the whole start-up, in labelled steps,
// then the silent repair of a start-up entry left behind by a move.
void runStartup(Platform& platform, StartupTargets& targets);

}  // namespace glance
