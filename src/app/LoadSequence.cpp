#include "app/LoadSequence.h"

#include <cstdint>
#include <cstring>

#include "app/RefreshSwitch.h"
#include "app/StartupEntry.h"
#include "core/Error.h"
#include "core/HandlerErrors.h"
#include "core/Product.h"
#include "core/StepTrap.h"

namespace glance {

std::string shortenTitle(std::string_view name) {
    std::string title(name);
    do {
        const auto space = title.rfind(' ');
        if (space == std::string::npos) throw PlatformError(errtext::kInvalidCall);
        title.resize(space);
    } while (title.size() > 40);
    return title;
}

void openHomePageByChance(System& system, Shell& shell) {
    // One step of a 24-bit linear congruential generator, seeded with the
    // time of day: its 64 bits are folded into the state first, so that
    // starts a fraction of a second apart draw far apart.
    const double seed = system.secondsSinceMidnight();
    std::uint64_t bits = 0;
    std::memcpy(&bits, &seed, sizeof bits);
    bits ^= bits >> 33;
    bits *= 0xFF51AFD7ED558CCDull;
    bits ^= bits >> 33;
    const std::uint32_t draw = (static_cast<std::uint32_t>(bits) * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFF;
    // draw / 2^24 is uniform in [0, 1); the seventh of its hundred slices wins.
    if ((draw * 100 >> 24) == 6)
        shell.startProcess(std::string("explorer \"") + kHomePageUrl + "\"", 2 /* minimized, active */);
}

void runLoadSequence(Platform& p, Window& window, SkinEngine& skin, TrayIcon& trayIcon,
                     Preferences& preferences, ManagedSettings& managed) {
    StepTrap trap = StepTrap::reporting(p.system, tag::kStartup);
    ButtonControl& switchButton = window.button(ControlId::SwitchButton);
    TimerControl& refreshTimer = window.timer(ControlId::RefreshTimer);

    if (trap.test(100, [&] { return p.system.anotherInstanceRunning(); })) {
        p.runningCopy.askToShow();
        trap.step(102, [&] { p.loop.endProcess(); });
    }
    managed = readManagedSettings(p.admin, p.diagnostics, p.eventLog);
    trap.step(106, [&] { applySkinFile(p.files, window, skin); });

    const std::wstring pointerFile = p.files.programFolder() + L"\\HAND-M.CUR";
    if (trap.test(108, [&] { return p.files.fileState(pointerFile) == FileState::Present; })) {
        trap.step(110, [&] { window.setMouseIcon(p.ui.loadPicture(pointerFile)); });
    }
    trap.step(112, [&] {
        if (!managed.homePageVisitOff) openHomePageByChance(p.system, p.shell);
    });

    trap.step(132, [&] { window.setCaption(kProductName); });
    trap.step(132, [&] { window.setIcon(p.ui.programIcon()); });
    trap.step(132, [&] { p.system.setAppTitle(shortenTitle(kProductName)); });

    std::string state;
    trap.step(136, [&] { state = preferences.switchState(); });
    if (trap.test(138, [&] { return state == Preferences::kOff; })) {
        trap.step(140, [&] { switchButton.setCaption(kCaptionTurnOn); });
        trap.step(142, [&] { refreshTimer.setInterval(0); });
    } else if (trap.test(144, [&] { return state == Preferences::kOn; })) {
        trap.step(146, [&] { switchButton.setCaption(kCaptionTurnOff); });
        trap.step(148, [&] { refreshTimer.setInterval(kTickMilliseconds); });
    }

    // The tip is set before the icon enters the tray, so the icon appears with it.
    trap.step(150, [&] { trayIcon.setText(kProductName); });
    trap.step(150, [&] { window.setIcon(p.ui.programIcon()); });
    trap.step(152, [&] { trayIcon.setInTray(true); });

    CheckBoxControl& startInTrayBox = window.checkBox(ControlId::StartInTrayBox);
    trap.step(154, [&] {
        window.checkBox(ControlId::StartWithWindowsBox).setValue(checkValue(preferences.startWithWindows()));
    });
    trap.step(156, [&] { startInTrayBox.setValue(checkValue(preferences.startInTray())); });
    // Before the minimized start, which follows the box as shown.
    applyManagedSettings(p, window, preferences, {}, managed);
    if (trap.test(158, [&] { return startInTrayBox.value() == 1; })) {
        trap.step(160, [&] { window.setWindowState(kStateMinimized); });
    }

    // After the labelled steps and without a label of its own: a program
    // moved since it was registered to start with Windows points its entry
    // at this copy. It is upkeep the user did not ask for, so a failure shows
    // nothing but a diagnostic line; the next start tries again. Its file
    // checks run off the window's thread and never hold the first message.
    StepTrap::noting(p.diagnostics, "start-up entry repair").step(0, [&] {
        repairStartupEntry(p.system, p.files, preferences, p.diagnostics, p.eventLog);
    });
}

}  // namespace glance
