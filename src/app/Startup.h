// The start-up of the program: the load handler of the main window and the
// two small procedures only it uses.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/SkinFramework.h"
#include "engine/RefreshEngine.h"
#include "platform/Platform.h"

namespace glance {

// A small seeded pseudo-random generator (24-bit linear congruential), enough
// for a one-in-a-hundred draw.
class Rnd {
public:
    void seed(double value);
    // A number r with 0 <= r < 1.
    double next();

private:
    std::uint32_t state_ = 0x50000;
};

// True when the last-modified time of path can be read; never throws.
bool FileExists(FileSystem& files, const std::wstring& path);

// On one start in a hundred, opens the vendor's home page in a minimized window.
void OpenHomePageByChance(System& system, Shell& shell);

// What the load handler sets up on the main window.
struct StartupTargets {
    MainWindow& window;
    RefreshEngine& engine;
    SkinEngine& skin;
    std::function<void(const std::string&)> setTrayTip;
    std::function<void(bool)> setInTray;
};

// The main window's load handler: the whole start-up, in labelled steps.
void Form_Load(Platform& platform, StartupTargets& targets);

}  // namespace glance
