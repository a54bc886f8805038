#include "app/LoadSequence.h"

#include "app/AppTitle.h"
#include "app/HomePageDraw.h"
#include "app/RefreshSwitch.h"
#include "app/StartupEntry.h"
#include "core/HandlerErrors.h"
#include "core/Product.h"
#include "core/StepTrap.h"

namespace glance {

void runLoadSequence(Platform& p, LoadTargets& t) {
    StepTrap trap = StepTrap::reporting(p.system, tag::kStartup);
    Window& window = t.window;
    ButtonControl& switchButton = window.button(ControlId::SwitchButton);
    TimerControl& refreshTimer = window.timer(ControlId::RefreshTimer);

    if (trap.test(100, [&] { return p.system.anotherInstanceRunning(); })) {
        p.runningCopy.askToShow();
        trap.step(102, [&] { p.loop.endProcess(); });
    }
    t.managed = readManagedSettings(p.admin, p.diagnostics, p.eventLog);
    trap.step(106, [&] { applySkinFile(p.files, window, t.skin); });

    const std::wstring pointerFile = p.files.programFolder() + L"\\HAND-M.CUR";
    if (trap.test(108, [&] { return p.files.fileState(pointerFile) == FileState::Present; })) {
        trap.step(110, [&] { window.setMouseIcon(p.ui.loadPicture(pointerFile)); });
    }
    trap.step(112, [&] {
        if (!t.managed.homePageVisitOff) openHomePageByChance(p.system, p.shell);
    });

    trap.step(132, [&] { window.setCaption(kProductName); });
    trap.step(132, [&] { window.setIcon(p.ui.programIcon()); });
    trap.step(132, [&] { setAppTitle(p.system); });

    std::string state;
    trap.step(136, [&] { state = t.preferences.switchState(); });
    if (trap.test(138, [&] { return state == Preferences::kOff; })) {
        trap.step(140, [&] { switchButton.setCaption(kCaptionTurnOn); });
        trap.step(142, [&] { refreshTimer.setInterval(0); });
    } else if (trap.test(144, [&] { return state == Preferences::kOn; })) {
        trap.step(146, [&] { switchButton.setCaption(kCaptionTurnOff); });
        trap.step(148, [&] { refreshTimer.setInterval(kTickMilliseconds); });
    }

    // The tip is set before the icon enters the tray, so the icon appears with it.
    trap.step(150, [&] { t.trayIcon.setText(kProductName); });
    trap.step(150, [&] { window.setIcon(p.ui.programIcon()); });
    trap.step(152, [&] { t.trayIcon.setInTray(true); });

    CheckBoxControl& startInTrayBox = window.checkBox(ControlId::StartInTrayBox);
    trap.step(154, [&] {
        window.checkBox(ControlId::StartWithWindowsBox)
            .setValue(checkValue(t.preferences.startWithWindows()));
    });
    trap.step(156, [&] { startInTrayBox.setValue(checkValue(t.preferences.startInTray())); });
    // Before the minimized start, which follows the box as shown.
    applyManagedSettings(p, window, t.preferences, {}, t.managed);
    if (trap.test(158, [&] { return startInTrayBox.value() == 1; })) {
        trap.step(160, [&] { window.setWindowState(kStateMinimized); });
    }

    // After the labelled steps and without a label of its own: a program
    // moved since it was registered to start with Windows points its entry
    // at this copy. It is upkeep the user did not ask for, so a failure shows
    // nothing but a diagnostic line; the next start tries again. Its file
    // checks run off the window's thread and never hold the first message.
    StepTrap::noting(p.diagnostics, "start-up entry repair").step(0, [&] {
        repairStartupEntry(p.system, p.files, t.preferences, p.diagnostics, p.eventLog);
    });
}

}  // namespace glance
