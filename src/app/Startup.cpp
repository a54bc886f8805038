#include "app/Startup.h"

#include <cmath>
#include <cstring>

#include "app/AppTitle.h"
#include "app/HandlerErrors.h"
#include "app/Product.h"
#include "app/StepTrap.h"
#include "engine/DesktopCounter.h"
#include "engine/RefreshSwitch.h"

namespace glance {

void Rnd::seed(double value) {
    // Fold all 64 bits of the seed into the 24-bit state, so that seeds a
    // fraction of a second apart start far apart.
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    bits ^= bits >> 33;
    bits *= 0xFF51AFD7ED558CCDull;
    bits ^= bits >> 33;
    state_ = static_cast<std::uint32_t>(bits) & 0xFFFFFF;
}

double Rnd::next() {
    state_ = (state_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFF;
    return state_ / 16777216.0;
}

bool FileExists(FileSystem& files, const std::wstring& path) {
    StepTrap trap = StepTrap::silent();
    trap.step(0, [&] { files.lastModified(path); });
    return !trap.anyFailed();
}

void OpenHomePageByChance(System& system, Shell& shell) {
    Rnd rnd;
    rnd.seed(system.secondsSinceMidnight());
    const int n = static_cast<int>(std::floor(rnd.next() * 100)) + 1;
    if (n == 7)
        shell.startProcess(std::string("explorer \"") + kHomePageUrl + "\"", 2 /* minimized, active */);
}

void Form_Load(Platform& p, StartupTargets& t) {
    StepTrap trap = StepTrap::reporting(p.system, tag::kFormLoad);
    MainWindow& window = t.window;
    ButtonControl& switchButton = window.button("PushButton4");
    TimerControl& timer = window.timer("Timer1");

    if (trap.test(100, [&] { return p.system.anotherInstanceRunning(); })) {
        trap.step(102, [&] { p.loop.endProcess(); });
    }
    trap.step(106, [&] { ApplySkin(p.files, window, t.skin); });

    const std::wstring pointerFile = p.files.programFolder() + L"\\HAND-M.CUR";
    if (trap.test(108, [&] { return FileExists(p.files, pointerFile); })) {
        trap.step(110, [&] { window.setMouseIcon(p.ui.loadPicture(pointerFile)); });
    }
    trap.step(112, [&] { OpenHomePageByChance(p.system, p.shell); });

    trap.step(132, [&] { window.setCaption(kProductName); });
    trap.step(132, [&] { window.setIcon(p.ui.programIcon()); });
    trap.step(132, [&] { SetAppTitle(p.system); });

    trap.step(134, [&] { t.engine.LastDesktopCount = CountDesktopItems(p.shell, p.files); });

    std::string state;
    trap.step(136,
              [&] { state = p.settings.read(kSettingsApplication, kProductName, kKeyStartStopState, kOff); });
    if (trap.test(138, [&] { return state == kOff; })) {
        trap.step(140, [&] { switchButton.setCaption(kCaptionTurnOn); });
        trap.step(142, [&] { timer.setInterval(0); });
    } else if (trap.test(144, [&] { return state == kOn; })) {
        trap.step(146, [&] { switchButton.setCaption(kCaptionTurnOff); });
        trap.step(148, [&] { timer.setInterval(kTickMilliseconds); });
    }

    // The tip is set before the icon enters the tray, so the icon appears with it.
    trap.step(150, [&] { t.setTrayTip(kProductName); });
    trap.step(150, [&] { window.setIcon(p.ui.programIcon()); });
    trap.step(152, [&] { t.setInTray(true); });

    auto isOn = [&](const char* key) {
        return p.settings.read(kSettingsApplication, kProductName, key, kOff) == kOn ? 1 : 0;
    };
    CheckBoxControl& check8 = window.checkBox("Check8");
    trap.step(154, [&] { window.checkBox("Check3").setValue(isOn(kKeyWindowsStartup)); });
    trap.step(156, [&] { check8.setValue(isOn(kKeyMinimized)); });
    if (trap.test(158, [&] { return check8.value() == 1; })) {
        trap.step(160, [&] { window.setWindowState(kStateMinimized); });
    }
}

}  // namespace glance
