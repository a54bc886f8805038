#include "engine/RefreshSwitch.h"

#include "app/HandlerErrors.h"
#include "app/Product.h"
#include "app/StepTrap.h"

namespace glance {

void RefreshSwitch::Timer1_Timer() {
    StepTrap trap = StepTrap::reporting(system, tag::kTimerTick);
    // A tick already on its way when the switch was turned off ends here.
    bool idle = false;
    trap.step(100, [&] { idle = timer.interval() == 0; });
    if (idle) return;
    // Clicks and repaints run first; the switch may be turned off in here.
    trap.step(102, [&] { loop.doEvents(); });
    // Off during the refresh, so that refreshes never overlap and the next
    // tick comes a full interval after this one has finished.
    trap.step(104, [&] { timer.setEnabled(false); });
    trap.step(106, [&] { engine.RefreshDesktop(kFalse); });
    trap.step(108, [&] { timer.setEnabled(true); });
}

void RefreshSwitch::PushButton4_Click() {
    StepTrap trap = StepTrap::reporting(system, tag::kSwitchClick);
    if (trap.test(100, [&] { return switchButton.caption() == kCaptionTurnOn; })) {
        trap.step(102, [&] { switchButton.setCaption(kCaptionTurnOff); });
        trap.step(104, [&] { timer.setInterval(kTickMilliseconds); });
        trap.step(106, [&] { timer.setEnabled(true); });
        trap.step(108, [&] { settings.save(kSettingsApplication, kProductName, kKeyStartStopState, kOn); });
    } else if (trap.test(110, [&] { return switchButton.caption() == kCaptionTurnOff; })) {
        trap.step(112, [&] { switchButton.setCaption(kCaptionTurnOn); });
        trap.step(114, [&] { timer.setInterval(0); });
        trap.step(116, [&] { settings.save(kSettingsApplication, kProductName, kKeyStartStopState, kOff); });
    }
}

void RefreshSwitch::PushButton2_Click() {
    StepTrap trap = StepTrap::reporting(system, tag::kForceClick);
    trap.step(102, [&] { engine.RefreshDesktop(kTrue); });
}

}  // namespace glance
